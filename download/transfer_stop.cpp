#include "download/transfer_stop.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "system/loaded_on_use.h"

namespace modSetup {

namespace onUse = zunor::onUse;

namespace {

struct Watched {
    HINTERNET request;
    bool closed;
};

struct StopState {
    std::atomic<bool> stopping{false};
    std::atomic<int> running{0};
    std::mutex lock;
    std::vector<Watched> requests;
    std::vector<std::wstring> temporaryFiles;
};

StopState& State() {
    static StopState state;
    return state;
}

} // namespace

bool StopTransfers(unsigned long timeoutMs) {
    auto& state = State();
    state.stopping = true;
    {
        std::lock_guard guard(state.lock);
        for (auto& watched : state.requests) {
            if (!watched.closed) {
                onUse::InternetCloseHandle(watched.request);
                watched.closed = true;
            }
        }
    }
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (state.running > 0) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            break;
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10)));
    }
    if (state.running == 0)
        return true;
    // A read that waits on a silent server is not broken off by closing its request everywhere;
    // its temporary file is removed from here instead.
    std::lock_guard guard(state.lock);
    for (const auto& path : state.temporaryFiles)
        DeleteFileW(path.c_str());
    return false;
}

namespace detail {

bool TransfersStopping() {
    return State().stopping;
}

TransferScope::TransferScope() {
    ++State().running;
}

TransferScope::~TransferScope() {
    --State().running;
}

void TrackTemporaryFile(const std::wstring& path) {
    auto& state = State();
    std::lock_guard guard(state.lock);
    state.temporaryFiles.push_back(path);
}

void UntrackTemporaryFile(const std::wstring& path) {
    auto& state = State();
    std::lock_guard guard(state.lock);
    auto it = std::find(state.temporaryFiles.begin(), state.temporaryFiles.end(), path);
    if (it != state.temporaryFiles.end())
        state.temporaryFiles.erase(it);
}

RequestWatch::RequestWatch(HINTERNET request) : request_(request) {
    auto& state = State();
    std::lock_guard guard(state.lock);
    // A stop that came before the request was opened closes it at once.
    const bool closed = state.stopping;
    if (closed)
        onUse::InternetCloseHandle(request_);
    state.requests.push_back({request_, closed});
}

RequestWatch::~RequestWatch() {
    Finish();
}

bool RequestWatch::Finish() {
    if (finished_)
        return closedByStop_;
    auto& state = State();
    std::lock_guard guard(state.lock);
    auto it = std::find_if(state.requests.begin(), state.requests.end(),
                           [this](const Watched& w) { return w.request == request_; });
    if (it != state.requests.end()) {
        closedByStop_ = it->closed;
        state.requests.erase(it);
    }
    finished_ = true;
    return closedByStop_;
}

} // namespace detail
} // namespace modSetup
