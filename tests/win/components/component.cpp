// A stand-in COM server for the registration tests. Built several times with different behaviour:
// each entry point that runs first leaves "<entry> <thread id>" in "<own path>.ran", so a test can
// tell which entry point ran, and on which thread.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

HMODULE self = nullptr;

void Record(const char* entry) {
    wchar_t path[MAX_PATH + 8] = {};
    const DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    std::wcscat(path, L".ran");
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char line[64];
    const int len = std::snprintf(line, sizeof line, "%s %lu", entry, GetCurrentThreadId());
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(len), &written, nullptr);
    CloseHandle(file);
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        self = instance;
    return TRUE;
}

#if defined(COMPONENT_NO_ENTRY_POINTS)

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE SomethingElse() {
    Record("other");
    return S_OK;
}

#else

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
    Record("register");
#if defined(COMPONENT_HANG)
    for (;;)
        Sleep(INFINITE);
#endif
    return COMPONENT_REGISTER_RESULT;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() {
    Record("unregister");
    return COMPONENT_UNREGISTER_RESULT;
}

#endif
