#include "download/http_request.h"

#include <algorithm>
#include <vector>

#include "download/http_rules.h"
#include "download/inet_error.h"
#include "download/inet_session.h"
#include "download/proxy_credentials.h"
#include "system/loaded_on_use.h"

namespace modSetup::detail {

namespace onUse = zunor::onUse;

namespace {

using zunor::TransferError;

// Fresh from the server every time, nothing left in the URL cache, one connection kept for the
// whole run, never a dialog. Redirects are followed here, so that none can lead off https.
constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
    INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_SECURE;

// More hops than any sane server layout needs; a loop ends here.
constexpr int kMaxRedirects = 10;

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

void Fail(zunor::TransferResult& result, TransferError error, DWORD systemError = 0) {
    result.error = error;
    result.systemError = systemError;
}

std::optional<std::wstring> Resolve(const std::wstring& base, const std::wstring& location) {
    DWORD length = 0;
    // The Location value is already encoded; ICU_NO_ENCODE keeps its escapes as they are.
    onUse::InternetCombineUrlW(base.c_str(), location.c_str(), nullptr, &length, ICU_NO_ENCODE);
    if (length == 0)
        return std::nullopt;
    std::vector<wchar_t> buffer(length + 1);
    length = static_cast<DWORD>(buffer.size());
    if (!onUse::InternetCombineUrlW(base.c_str(), location.c_str(), buffer.data(), &length, ICU_NO_ENCODE))
        return std::nullopt;
    return std::wstring(buffer.data(), length);
}

std::wstring FinalUrl(HINTERNET request) {
    DWORD size = 0;
    onUse::InternetQueryOptionW(request, INTERNET_OPTION_URL, nullptr, &size);
    if (size == 0)
        return L"";
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1);
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (!onUse::InternetQueryOptionW(request, INTERNET_OPTION_URL, buffer.data(), &size))
        return L"";
    return std::wstring(buffer.data());
}

struct UrlParts {
    std::wstring host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTPS_PORT;
    std::wstring object; // path and query
};

std::optional<UrlParts> Crack(const std::wstring& url) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!onUse::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        return std::nullopt;
    if (parts.nScheme != INTERNET_SCHEME_HTTPS || !parts.lpszHostName || parts.dwHostNameLength == 0)
        return std::nullopt;
    UrlParts out;
    out.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    out.port = parts.nPort;
    if (parts.lpszUrlPath)
        out.object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo)
        out.object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (out.object.empty())
        out.object = L"/";
    return out;
}

// Opens the request and sends it. The request is made in steps rather than with InternetOpenUrl
// so that the time limits sit on the request handle before anything goes out: set afterwards,
// they would not cover the wait for the answer.
OpenRequest Send(const std::wstring& url, const std::wstring& headers, zunor::TransferResult& result) {
    auto parts = Crack(url);
    if (!parts) {
        Fail(result, TransferError::ConnectionLost, ERROR_INTERNET_INVALID_URL);
        return {};
    }
    DWORD error = 0;
    HINTERNET session = Session(&error);
    if (!session) {
        Fail(result, TransferError::ConnectionLost, error);
        return {};
    }
    OpenRequest opened;
    opened.connection.reset(onUse::InternetConnectW(session, parts->host.c_str(), parts->port, nullptr,
                                                    nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (opened.connection) {
        const wchar_t* accept[] = {L"*/*", nullptr};
        opened.request.reset(onUse::HttpOpenRequestW(opened.connection.get(), L"GET", parts->object.c_str(),
                                                     nullptr, nullptr, accept, kRequestFlags, 0));
    }
    if (!opened.request) {
        error = GetLastError();
        Fail(result, ClassifyInternetError(error), error);
        return {};
    }
    ApplyTimeouts(opened.request.get());
    ApplyProxyCredentials(opened.request.get());
    const ULONGLONG start = GetTickCount64();
    if (!onUse::HttpSendRequestW(opened.request.get(), headers.empty() ? nullptr : headers.c_str(),
                                 static_cast<DWORD>(headers.size()), nullptr, 0)) {
        error = GetLastError();
        const auto limits = CurrentTimeouts();
        Fail(
            result,
            ClassifyFailedCall(error, GetTickCount64() - start, std::min(limits.connectMs, limits.receiveMs)),
            error);
        return {};
    }
    return opened;
}

} // namespace

std::optional<std::wstring> QueryHeader(HINTERNET request, DWORD header) {
    DWORD size = 0;
    if (!onUse::HttpQueryInfoW(request, header, nullptr, &size, nullptr) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return std::nullopt;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1);
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (!onUse::HttpQueryInfoW(request, header, buffer.data(), &size, nullptr))
        return std::nullopt;
    return std::wstring(buffer.data(), size / sizeof(wchar_t));
}

OpenRequest SendGet(const std::wstring& url, zunor::TransferResult& result, const std::wstring& headers) {
    OpenRequest opened = Send(url, headers, result);
    if (!opened)
        return {};
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!onUse::HttpQueryInfoW(opened.request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                               &size, nullptr)) {
        Fail(result, TransferError::ConnectionLost, GetLastError());
        return {};
    }
    // No status line at all (the connection closed before any answer): not the server's word.
    if (status < 100 || status > 999) {
        Fail(result, TransferError::ConnectionLost, ERROR_HTTP_INVALID_SERVER_RESPONSE);
        return {};
    }
    result.status = static_cast<int>(status);
    return opened;
}

OpenRequest OpenGet(const std::wstring& url, zunor::TransferResult& result, const std::wstring& rangeHeaders) {
    std::wstring current = url;
    for (int hop = 0;; ++hop) {
        // Only https is ever requested, whether the caller or a redirect named something else.
        if (!IsHttpsUrl(current)) {
            Fail(result, TransferError::InsecureRedirect);
            result.address = current;
            return {};
        }
        OpenRequest opened = SendGet(current, result, rangeHeaders);
        if (!opened)
            return {};
        const auto status = static_cast<DWORD>(result.status);

        if (IsRedirect(status) && hop < kMaxRedirects) {
            auto location = QueryHeader(opened.request.get(), HTTP_QUERY_LOCATION);
            auto next = location ? Resolve(current, *location) : std::nullopt;
            if (!next) {
                Fail(result, TransferError::HttpStatus);
                return {};
            }
            current = std::move(*next);
            continue;
        }
        if (status == HTTP_STATUS_PROXY_AUTH_REQ) {
            Fail(result, TransferError::ProxyAuthRequired);
            result.address = ProxyOf(opened.request.get());
            return {};
        }
        const bool partial = status == HTTP_STATUS_PARTIAL_CONTENT && !rangeHeaders.empty();
        if (status != HTTP_STATUS_OK && !partial) {
            Fail(result, TransferError::HttpStatus);
            return {};
        }
        // Last guard: whatever the stack did underneath, the body must come over https.
        std::wstring finalUrl = FinalUrl(opened.request.get());
        if (!finalUrl.empty() && !IsHttpsUrl(finalUrl)) {
            Fail(result, TransferError::InsecureRedirect);
            result.address = finalUrl;
            return {};
        }
        return opened;
    }
}

} // namespace modSetup::detail
