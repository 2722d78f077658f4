#include "system/loaded_on_use.h"

namespace zunor::onUse {

namespace {

// The function name of library, or nullptr. The library stays loaded for the rest of the process.
template <typename Function>
Function Resolve(const wchar_t* library, const char* name) {
    HMODULE module = LoadLibraryW(library);
    if (!module)
        return nullptr;
    // The address GetProcAddress gives is the function's; its declared type is only a placeholder.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace

HRESULT CoInitializeEx(LPVOID reserved, DWORD flags) {
    static const auto call = Resolve<decltype(&::CoInitializeEx)>(L"ole32.dll", "CoInitializeEx");
    return call ? call(reserved, flags) : E_FAIL;
}

void CoUninitialize() {
    static const auto call = Resolve<decltype(&::CoUninitialize)>(L"ole32.dll", "CoUninitialize");
    if (call)
        call();
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object) {
    static const auto call = Resolve<decltype(&::CoCreateInstance)>(L"ole32.dll", "CoCreateInstance");
    if (!call) {
        *object = nullptr;
        return E_FAIL;
    }
    return call(clsid, outer, context, iid, object);
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
    static const auto call = Resolve<decltype(&::InitCommonControlsEx)>(L"comctl32.dll", "InitCommonControlsEx");
    return call ? call(controls) : FALSE;
}

} // namespace zunor::onUse
