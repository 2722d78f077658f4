#pragma once
// One GET on the process's session, with redirects followed only while they stay on https.
#include <windows.h>
#include <wininet.h>

#include <optional>
#include <string>

#include "common/transfer_result.h"
#include "system/unique_handles.h"

namespace modSetup::detail {

// A request and the connection handle it hangs on (closing the connection would end the request).
struct OpenRequest {
    zunor::UniqueHinternet connection;
    zunor::UniqueHinternet request;
    explicit operator bool() const { return static_cast<bool>(request); }
};

// The request of a 200 answer whose body is ready to be read. Otherwise an empty one, with
// result.error, result.status and result.systemError telling why. With rangeHeaders (a request for
// part of the body) a 206 answer is taken as well.
OpenRequest OpenGet(const std::wstring& url, zunor::TransferResult& result,
                    const std::wstring& rangeHeaders = {});

// One GET of url, whatever its answer: the request with result.status, or an empty one with
// result.error telling why no answer came. Redirects are not followed.
OpenRequest SendGet(const std::wstring& url, zunor::TransferResult& result, const std::wstring& headers = {});

// A response header's text, or nothing when the answer has no such header.
std::optional<std::wstring> QueryHeader(HINTERNET request, DWORD header);

} // namespace modSetup::detail
