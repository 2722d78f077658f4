#pragma once
// COM (ole32) and the common controls (comctl32), loaded when first called rather than with the
// program. Only the window and the shortcuts need them; a run that calls neither (unattended, without
// shortcuts) never maps them nor what they pull in, some 6 MiB of working set under Wine. Each function
// behaves as the one of the same name; when its library cannot be had, it fails as that one fails.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

namespace zunor::onUse {

HRESULT CoInitializeEx(LPVOID reserved, DWORD flags);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object);
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);

// A library held only while one call needs it, then unloaded: the version resources and the Restart
// Manager are used once a run, and need not weigh on the rest of it.
class BorrowedLibrary {
public:
    explicit BorrowedLibrary(const wchar_t* name) : module_(LoadLibraryW(name)) {}
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

} // namespace zunor::onUse
