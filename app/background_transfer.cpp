#include "app/background_transfer.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "download/timeouts.h"
#include "system/unique_handles.h"

namespace zunor {

namespace {

constexpr DWORD kPumpEveryMs = 50;
// WinINet's own connect limit is not honoured everywhere (Wine ignores it, and the TLS handshake has
// none), so a server that never accepts would hold a request for minutes. Until the answer has come,
// the window side keeps its own deadline: the connect and receive limits, and a little slack.
constexpr ULONGLONG kAnswerSlackMs = 2000;
constexpr DWORD kInternetTimeout = 12002; // ERROR_INTERNET_TIMEOUT

// What the two threads share. Held by both, so it outlives whichever ends first.
struct Shared {
    Transfer transfer;
    TransferOptions workerOptions;
    TransferResult result;

    std::mutex lock;
    std::uint64_t received = 0;
    std::uint64_t total = 0;
    bool progressed = false;
    bool answered = false; // the body has begun: from here the transfer's own limits apply
    std::atomic<bool> cancel{false};
};

DWORD WINAPI Work(void* parameter) {
    // The thread's own reference: freed when the transfer is done, whoever waits.
    std::shared_ptr<Shared> shared(*static_cast<std::shared_ptr<Shared>*>(parameter));
    delete static_cast<std::shared_ptr<Shared>*>(parameter);
    try {
        shared->result = shared->transfer(shared->workerOptions);
    } catch (...) {
        shared->result = TransferResult{};
        shared->result.error = TransferError::WriteFailed;
    }
    return 0;
}

// The newest figures, on the calling thread.
void Report(Shared& shared, const TransferOptions& options) {
    std::uint64_t received = 0;
    std::uint64_t total = 0;
    {
        std::lock_guard guard(shared.lock);
        if (!shared.progressed)
            return;
        shared.progressed = false;
        received = shared.received;
        total = shared.total;
    }
    if (options.progress)
        options.progress(received, total);
}

} // namespace

TransferResult RunInBackground(const Transfer& transfer, const TransferOptions& options,
                               const std::function<void()>& pump) {
    try {
        auto shared = std::make_shared<Shared>();
        shared->transfer = transfer;
        shared->workerOptions.expectedSha256 = options.expectedSha256;
        Shared* raw = shared.get();
        shared->workerOptions.progress = [raw](std::uint64_t received, std::uint64_t total) {
            std::lock_guard guard(raw->lock);
            raw->received = received;
            raw->total = total;
            raw->progressed = true;
            raw->answered = true;
        };
        shared->workerOptions.cancelled = [raw] { return raw->cancel.load(); };

        auto* handed = new std::shared_ptr<Shared>(shared);
        UniqueHandle thread(CreateThread(nullptr, 0, Work, handed, 0, nullptr));
        if (!thread) {
            // No thread to be had: the transfer still happens, only the window waits for it.
            delete handed;
            return transfer(options);
        }
        const modSetup::Timeouts limits = modSetup::CurrentTimeouts();
        const ULONGLONG answerDeadline = GetTickCount64() + limits.connectMs + limits.receiveMs + kAnswerSlackMs;
        for (;;) {
            const HANDLE handles[] = {thread.get()};
            const DWORD woke = MsgWaitForMultipleObjects(1, handles, FALSE, kPumpEveryMs, QS_ALLINPUT);
            if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED)
                break;
            pump();
            Report(*shared, options);
            if (options.cancelled && options.cancelled())
                shared->cancel = true;
            bool answered = false;
            {
                std::lock_guard guard(shared->lock);
                answered = shared->answered;
            }
            if (!answered && GetTickCount64() > answerDeadline) {
                // Left behind, the worker stops at its first chance and keeps nothing: it holds
                // its own share of the state, and the cancellation stops it before any commit.
                shared->cancel = true;
                TransferResult timedOut;
                timedOut.error = TransferError::Timeout;
                timedOut.systemError = kInternetTimeout;
                timedOut.attempts = 1;
                return timedOut;
            }
        }
        WaitForSingleObject(thread.get(), INFINITE);
        Report(*shared, options);
        return shared->result;
    } catch (...) {
        TransferResult failed;
        failed.error = TransferError::WriteFailed;
        return failed;
    }
}

} // namespace zunor
