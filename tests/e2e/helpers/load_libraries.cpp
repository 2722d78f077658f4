// The control of the planted-library test: load_libraries.exe name.dll... loads each name the way a
// program that does not guard its loads would (LoadLibraryW, the default search order), from the same
// folder and environment as the program under test. It prints one line per name; what counts is the
// marker a planted copy leaves. It imports what the setup program imports, so that at its start Wine
// loads what it loads at the setup program's.
#include <windows.h>

#include <shlobj.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    wchar_t folder[MAX_PATH] = {};
    if (!GetStockObject(WHITE_BRUSH) || GetSysColor(COLOR_WINDOW) == 0xFFFFFFFF ||
        FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, folder)) ||
        RegCloseKey(nullptr) == ERROR_SUCCESS)
        std::wprintf(L"the system libraries do not answer\n");
    for (int i = 1; i < argc; ++i) {
        HMODULE module = LoadLibraryW(argv[i]);
        std::wprintf(L"%ls: %ls\n", argv[i], module ? L"loaded" : L"not loaded");
        if (module)
            FreeLibrary(module);
    }
    return 0;
}
