#include "download/inet_session.h"

#include <mutex>

#include "common/transfer_options.h"
#include "download/test_timeouts.h"
#include "system/unique_handles.h"

namespace modSetup {

namespace onUse = zunor::onUse;

namespace {

constexpr wchar_t kUserAgent[] = L"ZunorSetup/2021";

Timeouts StartingTimeouts() {
    char text[256];
    const DWORD n = GetEnvironmentVariableA(kTestTimeoutsVariable, text, sizeof text);
    if (n == 0 || n >= sizeof text)
        return Timeouts{};
    return ApplyTestTimeouts(std::string_view(text, n), Timeouts{});
}

struct SessionState {
    std::mutex lock;
    zunor::UniqueHinternet handle;
    Timeouts timeouts = StartingTimeouts();
};

SessionState& State() {
    static SessionState state;
    return state;
}

void SetTimeouts(HINTERNET handle, const Timeouts& t) {
    DWORD connect = t.connectMs;
    DWORD receive = t.receiveMs;
    onUse::InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    onUse::InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
    // A send that cannot proceed is as stuck as a silent receive.
    onUse::InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof receive);
}

} // namespace

void SetTimeoutsForTesting(const Timeouts& timeouts) {
    auto& state = State();
    std::lock_guard guard(state.lock);
    state.timeouts = timeouts;
    if (state.handle)
        SetTimeouts(state.handle.get(), timeouts);
}

Timeouts CurrentTimeouts() {
    auto& state = State();
    std::lock_guard guard(state.lock);
    return state.timeouts;
}

namespace detail {

HINTERNET Session(DWORD* error) {
    auto& state = State();
    std::lock_guard guard(state.lock);
    if (!state.handle) {
        // Windows keeps two connections to a server unless told otherwise; the files go over more.
        ULONG connections = static_cast<ULONG>(zunor::kMaxConnections);
        onUse::InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections,
                                  sizeof connections);
        onUse::InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &connections,
                                  sizeof connections);
        // PRECONFIG: an office behind a proxy reaches the server the way its browser does.
        state.handle.reset(
            onUse::InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        if (!state.handle) {
            *error = GetLastError();
            return nullptr;
        }
        SetTimeouts(state.handle.get(), state.timeouts);
    }
    return state.handle.get();
}

void ApplyTimeouts(HINTERNET handle) {
    SetTimeouts(handle, CurrentTimeouts());
}

} // namespace detail
} // namespace modSetup
