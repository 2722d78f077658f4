// hold_file PATH: opens PATH for reading without sharing it with anyone, prints "held" and keeps it
// open until its standard input ends, so that a test can see how the installer meets a file in use.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: hold_file PATH\n");
        return 2;
    }
    HANDLE file =
        CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fwprintf(stderr, L"cannot open %ls: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    char buffer[64];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    CloseHandle(file);
    return 0;
}
