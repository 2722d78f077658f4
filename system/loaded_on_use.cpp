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

DWORD GetFileVersionInfoSizeW(LPCWSTR path, LPDWORD handle) {
    static const auto call = Resolve<decltype(&::GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
    return call ? call(path, handle) : 0;
}

BOOL GetFileVersionInfoW(LPCWSTR path, DWORD handle, DWORD size, LPVOID data) {
    static const auto call = Resolve<decltype(&::GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
    return call ? call(path, handle, size, data) : FALSE;
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
    static const auto call = Resolve<decltype(&::VerQueryValueW)>(L"version.dll", "VerQueryValueW");
    return call ? call(block, subBlock, buffer, length) : FALSE;
}

DWORD RmStartSession(DWORD* session, DWORD flags, WCHAR key[]) {
    static const auto call = Resolve<decltype(&::RmStartSession)>(L"rstrtmgr.dll", "RmStartSession");
    return call ? call(session, flags, key) : ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD RmRegisterResources(DWORD session, UINT files, LPCWSTR fileNames[], UINT applications,
                          RM_UNIQUE_PROCESS applicationList[], UINT services, LPCWSTR serviceNames[]) {
    static const auto call = Resolve<decltype(&::RmRegisterResources)>(L"rstrtmgr.dll", "RmRegisterResources");
    return call ? call(session, files, fileNames, applications, applicationList, services, serviceNames)
                : ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD RmGetList(DWORD session, UINT* needed, UINT* count, RM_PROCESS_INFO processes[], LPDWORD reasons) {
    static const auto call = Resolve<decltype(&::RmGetList)>(L"rstrtmgr.dll", "RmGetList");
    return call ? call(session, needed, count, processes, reasons) : ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD RmEndSession(DWORD session) {
    static const auto call = Resolve<decltype(&::RmEndSession)>(L"rstrtmgr.dll", "RmEndSession");
    return call ? call(session) : ERROR_CALL_NOT_IMPLEMENTED;
}

} // namespace zunor::onUse
