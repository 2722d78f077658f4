// A library planted under the name of a system library. Whatever program loads it gets a line in
// "<this library's path>.loaded" (the program's path), and the load fails, so that the program goes on
// with the system's own copy where it can.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t marker[MAX_PATH + 8] = {};
    const DWORD length = GetModuleFileNameW(self, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return FALSE;
    lstrcatW(marker, L".loaded");
    wchar_t program[MAX_PATH] = {};
    const DWORD programLength = GetModuleFileNameW(nullptr, program, MAX_PATH);
    char line[4 * MAX_PATH + 2] = {};
    int bytes = WideCharToMultiByte(CP_UTF8, 0, program, static_cast<int>(programLength), line, 4 * MAX_PATH,
                                    nullptr, nullptr);
    line[bytes++] = '\n';
    HANDLE file = CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(bytes), &written, nullptr);
        CloseHandle(file);
    }
    return FALSE;
}
