#include "system/product_launch.h"

#include <windows.h>

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "system/loaded_on_use.h"
#include "system/unique_handles.h"

namespace zunor {
namespace {

using Microsoft::WRL::ComPtr;

class Bstr {
public:
    explicit Bstr(const std::wstring& text) : text_(onUse::SysAllocString(text.c_str())) {}
    ~Bstr() {
        if (text_)
            onUse::SysFreeString(text_);
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return text_; }

private:
    BSTR text_;
};

VARIANT Text(const Bstr& text) {
    VARIANT v{};
    v.vt = VT_BSTR;
    v.bstrVal = text.get();
    return v;
}

// The desktop's shell, as its automation object: the one that a double click on the desktop runs through.
HRESULT DesktopShell(ComPtr<IShellDispatch2>& shell, std::wstring* step) {
    ComPtr<IShellWindows> windows;
    *step = L"ShellWindows";
    HRESULT hr =
        onUse::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&windows));
    if (FAILED(hr))
        return hr;
    VARIANT empty{};
    long window = 0;
    ComPtr<IDispatch> desktop;
    *step = L"FindWindowSW";
    hr = windows->FindWindowSW(&empty, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop);
    if (hr != S_OK || !desktop)
        return FAILED(hr) ? hr : E_FAIL; // S_FALSE: no desktop
    ComPtr<IServiceProvider> provider;
    *step = L"IServiceProvider";
    if (FAILED(hr = desktop.As(&provider)))
        return hr;
    ComPtr<IShellBrowser> browser;
    *step = L"QueryService";
    if (FAILED(hr = provider->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(&browser))))
        return hr;
    ComPtr<IShellView> view;
    *step = L"QueryActiveShellView";
    if (FAILED(hr = browser->QueryActiveShellView(&view)))
        return hr;
    ComPtr<IDispatch> background;
    *step = L"GetItemObject";
    if (FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background))))
        return hr;
    ComPtr<IShellFolderViewDual> folderView;
    *step = L"IShellFolderViewDual";
    if (FAILED(hr = background.As(&folderView)))
        return hr;
    ComPtr<IDispatch> application;
    *step = L"get_Application";
    if (FAILED(hr = folderView->get_Application(&application)))
        return hr;
    *step = L"IShellDispatch2";
    return application.As(&shell);
}

} // namespace

bool LaunchThroughShell(const std::wstring& path, std::wstring* step, long* error) {
    ComScope com;
    ComPtr<IShellDispatch2> shell;
    HRESULT hr = DesktopShell(shell, step);
    if (SUCCEEDED(hr)) {
        const Bstr file(path), arguments(L""), folder(path.substr(0, path.find_last_of(L'\\'))),
            verb(L"open");
        VARIANT show{};
        show.vt = VT_I4;
        show.lVal = SW_SHOWMAXIMIZED;
        *step = L"ShellExecute";
        hr = file.get() && folder.get() && verb.get() && arguments.get()
                 ? shell->ShellExecute(file.get(), Text(arguments), Text(folder), Text(verb), show)
                 : E_OUTOFMEMORY;
    }
    *error = hr;
    return SUCCEEDED(hr);
}

} // namespace zunor
