// Stand-in for one of the product's own libraries, so that a real DLL travels with the program files.
#include <windows.h>

extern "C" __declspec(dllexport) int ZunorFormatVersion() {
    return 2021;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
