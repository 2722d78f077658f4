#pragma once
// A proxy that asks who we are (407). The user answers with WinINet's own prompt; what was given stays
// in this process's memory only (never on disk, never in the log), and every later request carries it.
#include <windows.h>
#include <wininet.h>

#include <string>

namespace modSetup {

// Asks the user, with WinINet's proxy credentials dialog owned by owner, for what the proxy asks of
// url. True when the request is worth making again: the user gave credentials, or the proxy no longer
// asks. False when the user cancelled, or there was no answer to ask about.
bool AskProxyCredentials(HWND owner, const std::wstring& url);

namespace detail {

// The proxy a request goes through as the system's settings name it ("host:port"); "" when unknown.
std::wstring ProxyOf(HINTERNET request);

// Gives a new request the credentials the user gave, if any.
void ApplyProxyCredentials(HINTERNET request);

} // namespace detail
} // namespace modSetup
