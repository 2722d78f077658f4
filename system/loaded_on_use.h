#pragma once
// Libraries beyond the few that Windows maps from its own list (kernel32, user32, advapi32, shell32,
// msvcrt...), loaded when first called and only ever from the system directory. The program runs with
// administrator rights from folders that others can write (Downloads, the temporary folder, a program
// folder outside Program Files): a library of the same name lying beside it must never be the one that
// runs. So the program imports none of them: WinINet, CNG, COM, the common controls, the version
// resources and the Restart Manager are called through the objects below, and a run that needs none of
// them (unattended, without shortcuts) never maps them nor what they pull in.
#include <windows.h>

#include <bcrypt.h>
#include <commctrl.h>
#include <objbase.h>
#include <restartmanager.h>
#include <wininet.h>

#include <atomic>
#include <type_traits>

namespace zunor {

// From here on, a library loaded by name, by this program or by the system on its behalf (the visual
// styles' uxtheme, what WinINet brings), comes from the system directory only. Called first thing, before
// anything else can load a library. Where the system cannot limit its own loads (Windows 7 without
// KB2533623), the program's own loads still go to the system directory (LoadSystemLibrary).
void LimitLibrarySearchToSystem();

// The library of that name in the system directory, never one elsewhere; nullptr when it cannot be had.
HMODULE LoadSystemLibrary(const wchar_t* name);

namespace onUse {

// A function of a system library, looked up at its first call (from any thread). When the library or the
// function cannot be had, the call fails as the function fails: it returns `failed` and the last error
// is ERROR_PROC_NOT_FOUND.
template <typename Function> class SystemFunction;

template <typename Result, typename... Args> class SystemFunction<Result(WINAPI*)(Args...)> {
public:
    using Failure = std::conditional_t<std::is_void_v<Result>, int, Result>;

    constexpr SystemFunction(const wchar_t* library, const char* name, Failure failed = Failure{})
        : library_(library), name_(name), failed_(failed) {}
    SystemFunction(const SystemFunction&) = delete;
    SystemFunction& operator=(const SystemFunction&) = delete;

    Result operator()(Args... args) const {
        const Pointer function = Address();
        if (!function) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            if constexpr (std::is_void_v<Result>)
                return;
            else
                return failed_;
        }
        return function(args...);
    }

private:
    using Pointer = Result(WINAPI*)(Args...);

    // Two threads may both look it up at first; they find the same address, and the library stays.
    Pointer Address() const {
        void* known = address_.load(std::memory_order_acquire);
        if (!known) {
            if (HMODULE module = LoadSystemLibrary(library_))
                known = reinterpret_cast<void*>(GetProcAddress(module, name_));
            address_.store(known, std::memory_order_release);
        }
        // The address GetProcAddress gives is the function's; its declared type is only a placeholder.
        return reinterpret_cast<Pointer>(known);
    }

    const wchar_t* library_;
    const char* name_;
    Failure failed_;
    mutable std::atomic<void*> address_{nullptr};
};

#define ZUNOR_SYSTEM_FUNCTION(library, name, failed)                                                         \
    inline const SystemFunction<decltype(&::name)> name {                                                    \
        library, #name, failed                                                                               \
    }

// COM and the common controls: only the window and the shortcuts need them.
ZUNOR_SYSTEM_FUNCTION(L"ole32.dll", CoInitializeEx, E_FAIL);
ZUNOR_SYSTEM_FUNCTION(L"ole32.dll", CoUninitialize, 0);
ZUNOR_SYSTEM_FUNCTION(L"ole32.dll", CoCreateInstance, E_FAIL);
ZUNOR_SYSTEM_FUNCTION(L"comctl32.dll", InitCommonControlsEx, FALSE);
// Asking the desktop shell to start the product: the strings its automation objects take.
ZUNOR_SYSTEM_FUNCTION(L"oleaut32.dll", SysAllocString, nullptr);
ZUNOR_SYSTEM_FUNCTION(L"oleaut32.dll", SysFreeString, 0);

// WinINet: the transfers, the URL cache.
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", InternetOpenW, nullptr);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", InternetSetOptionW, FALSE);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", InternetQueryOptionW, FALSE);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", InternetCrackUrlW, FALSE);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", InternetCombineUrlW, FALSE);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", InternetConnectW, nullptr);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", HttpOpenRequestW, nullptr);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", HttpSendRequestW, FALSE);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", HttpQueryInfoW, FALSE);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", InternetQueryDataAvailable, FALSE);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", InternetReadFile, FALSE);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", InternetCloseHandle, FALSE);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", DeleteUrlCacheEntryW, FALSE);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", FindFirstUrlCacheEntryW, nullptr);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", FindNextUrlCacheEntryW, FALSE);
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", FindCloseUrlCache, FALSE);
// Its own prompt for what a proxy asks (with the window only).
ZUNOR_SYSTEM_FUNCTION(L"wininet.dll", InternetErrorDlg, ERROR_PROC_NOT_FOUND);

// CNG: SHA-256 where the processor has no instructions for it, random bytes, and the publisher's
// signature over each folder's SHA256SUMS.
inline constexpr NTSTATUS kNotFound = static_cast<NTSTATUS>(0xC0000225L); // STATUS_NOT_FOUND
ZUNOR_SYSTEM_FUNCTION(L"bcrypt.dll", BCryptOpenAlgorithmProvider, kNotFound);
ZUNOR_SYSTEM_FUNCTION(L"bcrypt.dll", BCryptCloseAlgorithmProvider, kNotFound);
ZUNOR_SYSTEM_FUNCTION(L"bcrypt.dll", BCryptGetProperty, kNotFound);
ZUNOR_SYSTEM_FUNCTION(L"bcrypt.dll", BCryptCreateHash, kNotFound);
ZUNOR_SYSTEM_FUNCTION(L"bcrypt.dll", BCryptHashData, kNotFound);
ZUNOR_SYSTEM_FUNCTION(L"bcrypt.dll", BCryptFinishHash, kNotFound);
ZUNOR_SYSTEM_FUNCTION(L"bcrypt.dll", BCryptDestroyHash, kNotFound);
ZUNOR_SYSTEM_FUNCTION(L"bcrypt.dll", BCryptGenRandom, kNotFound);
ZUNOR_SYSTEM_FUNCTION(L"bcrypt.dll", BCryptImportKeyPair, kNotFound);
ZUNOR_SYSTEM_FUNCTION(L"bcrypt.dll", BCryptVerifySignature, kNotFound);
ZUNOR_SYSTEM_FUNCTION(L"bcrypt.dll", BCryptDestroyKey, kNotFound);

#undef ZUNOR_SYSTEM_FUNCTION

// A library held only while one call needs it, then unloaded: the version resources and the Restart
// Manager are used once a run, and need not weigh on the rest of it.
class BorrowedLibrary {
public:
    explicit BorrowedLibrary(const wchar_t* name) : module_(LoadSystemLibrary(name)) {}
    ~BorrowedLibrary() {
        if (module_)
            FreeLibrary(module_);
    }
    BorrowedLibrary(const BorrowedLibrary&) = delete;
    BorrowedLibrary& operator=(const BorrowedLibrary&) = delete;

    // The export name as Function (the type of the function of that name), or nullptr.
    template <typename Function> Function Get(const char* name) const {
        if (!module_)
            return nullptr;
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
};

} // namespace onUse
} // namespace zunor
