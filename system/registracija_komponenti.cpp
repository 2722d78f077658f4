#include "system/registracija_komponenti.h"

#include <windows.h>

#include <algorithm>

#include "system/unique_handles.h"

namespace RegistracijaKomponenti {

namespace {

using EntryPoint = HRESULT(STDAPICALLTYPE*)();

// Runs the entry point through its true type, so the stdcall frame balances, and hands its HRESULT
// back as the thread's exit code.
DWORD WINAPI RunEntryPoint(LPVOID parameter) {
    try {
        const auto entry = reinterpret_cast<EntryPoint>(parameter);
        return static_cast<DWORD>(entry());
    } catch (...) {
        return static_cast<DWORD>(E_UNEXPECTED);
    }
}

bool IsOrdinaryFile(const std::wstring& path) {
    // A pattern would let the search match some other file than the one that is then loaded.
    if (path.empty() || path.find_first_of(L"*?") != std::wstring::npos)
        return false;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (found.dwFileAttributes & kNotOrdinary) == 0;
}

} // namespace

bool RegisterComponent(const std::wstring& path, bool unregister, std::chrono::milliseconds limit) {
    const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    if (!IsOrdinaryFile(path))
        return false;

    zunor::UniqueHmodule library(LoadLibraryW(path.c_str()));
    if (!library)
        return false;
    FARPROC entry = GetProcAddress(library.get(), entryName);
    if (!entry)
        return false;

    HANDLE rawThread = CreateThread(nullptr, 0, RunEntryPoint, reinterpret_cast<LPVOID>(entry), 0, nullptr);
    if (!rawThread)
        return false; // no worker ever ran its code, so unloading is safe
    zunor::UniqueHandle thread(rawThread);

    const auto waitMs = static_cast<DWORD>(std::clamp<long long>(limit.count(), 0, INFINITE - 1));
    if (WaitForSingleObject(thread.get(), waitMs) != WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeThread(thread.get(), &code);
        TerminateThread(thread.get(), code);
        library.release(); // the ended worker's code must stay mapped
        return false;
    }
    DWORD code = 0;
    if (!GetExitCodeThread(thread.get(), &code))
        return false;
    return SUCCEEDED(static_cast<HRESULT>(code));
}

bool RegisterComponent(const std::wstring& path, bool unregister) {
    return RegisterComponent(path, unregister, kRegistrationLimit);
}

} // namespace RegistracijaKomponenti
