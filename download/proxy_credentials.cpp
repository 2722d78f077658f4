#include "download/proxy_credentials.h"

#include <mutex>
#include <vector>

#include "download/http_request.h"
#include "download/inet_session.h"
#include "system/loaded_on_use.h"

namespace modSetup {

namespace onUse = zunor::onUse;

namespace {

// Held for the run; wiped when the process ends.
struct Credentials {
    std::mutex lock;
    std::wstring user;
    std::wstring password;
    ~Credentials() {
        SecureZeroMemory(user.data(), user.size() * sizeof(wchar_t));
        SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
    }
};

Credentials& Given() {
    static Credentials credentials;
    return credentials;
}

std::wstring QueryText(HINTERNET handle, DWORD option) {
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (!onUse::InternetQueryOptionW(handle, option, buffer, &size))
        return L"";
    std::wstring text(buffer, wcsnlen(buffer, 255));
    SecureZeroMemory(buffer, sizeof buffer);
    return text;
}

void SetText(HINTERNET handle, DWORD option, const std::wstring& text) {
    onUse::InternetSetOptionW(handle, option, const_cast<wchar_t*>(text.c_str()),
                              static_cast<DWORD>(text.size()));
}

std::wstring ProxyInfo(HINTERNET handle) {
    DWORD size = 0;
    onUse::InternetQueryOptionW(handle, INTERNET_OPTION_PROXY, nullptr, &size);
    if (size < sizeof(INTERNET_PROXY_INFO))
        return L"";
    std::vector<INTERNET_PROXY_INFO> buffer(size / sizeof(INTERNET_PROXY_INFO) + 1);
    size = static_cast<DWORD>(buffer.size() * sizeof(INTERNET_PROXY_INFO));
    if (!onUse::InternetQueryOptionW(handle, INTERNET_OPTION_PROXY, buffer.data(), &size))
        return L"";
    const INTERNET_PROXY_INFO& info = buffer.front();
    if (info.dwAccessType != INTERNET_OPEN_TYPE_PROXY || !info.lpszProxy)
        return L"";
    return reinterpret_cast<const wchar_t*>(info.lpszProxy);
}

} // namespace

bool AskProxyCredentials(HWND owner, const std::wstring& url) {
    zunor::TransferResult result;
    const detail::OpenRequest opened = detail::SendGet(url, result);
    if (!opened)
        return false;
    if (result.status != HTTP_STATUS_PROXY_AUTH_REQ)
        return true;
    // The dialog names the proxy and its realm, and keeps what the user typed in the session. Windows
    // draws it with the credentials library, which is loaded from the system directory beforehand.
    (void)zunor::LoadSystemLibrary(L"credui.dll");
    const DWORD answer =
        onUse::InternetErrorDlg(owner, opened.request.get(), ERROR_INTERNET_INCORRECT_PASSWORD,
                                FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA |
                                    FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS,
                                nullptr);
    if (answer != ERROR_INTERNET_FORCE_RETRY)
        return false; // cancelled
    // Where the stack keeps them per request, later requests get them from here.
    std::wstring user = QueryText(opened.request.get(), INTERNET_OPTION_PROXY_USERNAME);
    std::wstring password = QueryText(opened.request.get(), INTERNET_OPTION_PROXY_PASSWORD);
    Credentials& given = Given();
    std::lock_guard guard(given.lock);
    given.user.swap(user);
    given.password.swap(password);
    SecureZeroMemory(user.data(), user.size() * sizeof(wchar_t));
    SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
    return true;
}

namespace detail {

std::wstring ProxyOf(HINTERNET request) {
    std::wstring proxy = ProxyInfo(request);
    if (proxy.empty()) {
        DWORD error = 0;
        if (HINTERNET session = Session(&error))
            proxy = ProxyInfo(session);
    }
    return proxy;
}

void ApplyProxyCredentials(HINTERNET request) {
    Credentials& given = Given();
    std::lock_guard guard(given.lock);
    if (given.user.empty())
        return;
    SetText(request, INTERNET_OPTION_PROXY_USERNAME, given.user);
    SetText(request, INTERNET_OPTION_PROXY_PASSWORD, given.password);
}

} // namespace detail
} // namespace modSetup
