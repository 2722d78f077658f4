// Sample support component: a COM server DLL whose self-registration leaves visible traces, so the
// tests can tell that (and which way) its entry points ran:
//   HKCU\Software\Brantovik\ZunorSample, value <file name> = "registered" / "unregistered"
//   HKCU\Software\Classes\CLSID\<SAMPLE_CLSID>\InprocServer32 = the DLL's own path (per-user).
// SAMPLE_CLSID comes from the build, one per DLL.
#include <objbase.h>
#include <olectl.h>
#include <windows.h>

#include <string>

namespace {

HINSTANCE g_module = nullptr;
constexpr wchar_t kTraceKey[] = L"Software\\Brantovik\\ZunorSample";
constexpr wchar_t kClsid[] = L"" SAMPLE_CLSID;

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    return std::wstring(path, n);
}

std::wstring FileName(const std::wstring& path) {
    auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool SetString(const std::wstring& keyPath, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

std::wstring ClassKey() {
    return std::wstring(L"Software\\Classes\\CLSID\\") + kClsid;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        g_module = instance;
    return TRUE;
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
    const std::wstring path = ModulePath();
    const bool ok = SetString(ClassKey(), nullptr, L"Zunor 2021 sample component") &&
                    SetString(ClassKey() + L"\\InprocServer32", nullptr, path) &&
                    SetString(ClassKey() + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
                    SetString(kTraceKey, FileName(path).c_str(), L"registered");
    return ok ? S_OK : SELFREG_E_CLASS;
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    RegDeleteTreeW(HKEY_CURRENT_USER, ClassKey().c_str());
    return SetString(kTraceKey, FileName(ModulePath()).c_str(), L"unregistered") ? S_OK : SELFREG_E_CLASS;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID, REFIID, LPVOID* object) {
    if (object)
        *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return S_OK;
}

} // extern "C"
