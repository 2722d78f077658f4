#include "app/background_transfer.h"

#include <windows.h>

#include <atomic>
#include <deque>
#include <limits>

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
constexpr std::size_t kNoTicket = std::numeric_limits<std::size_t>::max();

TransferResult Failed(TransferError error, unsigned long systemError = 0) {
    TransferResult result;
    result.error = error;
    result.systemError = systemError;
    result.attempts = 1;
    return result;
}

} // namespace

// One transfer, held by the caller and by the worker that runs it, so it outlives whichever ends first.
struct BackgroundTransfers::Job {
    std::size_t ticket = 0;
    Transfer transfer;
    TransferOptions callerOptions; // called on the calling thread only
    TransferOptions workerOptions;
    TransferResult result;
    // Figures from the worker: the newest progress, and whether the body has begun (from there on
    // the transfer's own limits apply).
    std::atomic<std::uint64_t> received{0};
    std::atomic<std::uint64_t> total{0};
    std::atomic<bool> progressed{false};
    std::atomic<bool> answered{false};
    std::atomic<bool> cancel{false};
    // Under Shared::lock.
    ULONGLONG startedAt = 0; // when a worker took it; 0 while it waits
    DWORD worker = 0;        // the thread that took it
    bool ended = false;
    bool abandoned = false; // given up by the caller: its worker ends when it returns
};

// What the caller and the workers share. Held by every worker, so it outlives the caller's object.
struct BackgroundTransfers::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE work = CONDITION_VARIABLE_INIT;
    std::deque<std::shared_ptr<Job>> waiting;
    // Work running transfers share with workers that have no whole file to take (the ranges of a
    // large file); gone once one of those has found nothing more to take.
    std::vector<std::shared_ptr<SharedWork>> offers;
    std::size_t limit = 1;
    std::size_t workers = 0; // alive and not left behind with an abandoned transfer
    std::size_t idle = 0;
    bool closing = false;
    struct Thread {
        UniqueHandle handle;
        DWORD id = 0;
        bool leftBehind = false; // holds an abandoned transfer: not waited for
    };
    std::vector<Thread> threads;
    UniqueHandle ended{CreateEventW(nullptr, FALSE, FALSE, nullptr)}; // a transfer has ended
};

namespace {

using Job = BackgroundTransfers::Job;
using Shared = BackgroundTransfers::Shared;

class Locked {
public:
    explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~Locked() { ReleaseSRWLockExclusive(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    SRWLOCK& lock_;
};

void RunJob(Job& job) {
    try {
        job.result = job.transfer(job.workerOptions);
    } catch (...) {
        job.result = Failed(TransferError::WriteFailed);
    }
}

DWORD WINAPI Work(void* parameter) {
    // The thread's own reference: the shared state lives while any worker does.
    std::shared_ptr<Shared> shared(*static_cast<std::shared_ptr<Shared>*>(parameter));
    delete static_cast<std::shared_ptr<Shared>*>(parameter);
    for (;;) {
        std::shared_ptr<Job> job;
        std::shared_ptr<SharedWork> offer;
        {
            Locked guard(shared->lock);
            ++shared->idle;
            while (shared->waiting.empty() && shared->offers.empty() && !shared->closing)
                SleepConditionVariableSRW(&shared->work, &shared->lock, INFINITE, 0);
            --shared->idle;
            if (!shared->waiting.empty()) {
                job = shared->waiting.front();
                shared->waiting.pop_front();
                job->startedAt = GetTickCount64();
                job->worker = GetCurrentThreadId();
            } else if (!shared->offers.empty() && !shared->closing) {
                // Whole files first: only a worker with none to take helps with a share.
                offer = shared->offers.front();
            } else {
                --shared->workers;
                return 0;
            }
        }
        if (offer) {
            bool more = false;
            try {
                more = (*offer)();
            } catch (...) {
                // A share that fails is its transfer's failure, not the worker's.
            }
            if (!more) {
                Locked guard(shared->lock);
                std::erase(shared->offers, offer);
            }
            continue;
        }
        RunJob(*job);
        bool leftBehind = false;
        {
            Locked guard(shared->lock);
            job->ended = true;
            leftBehind = job->abandoned;
        }
        SetEvent(shared->ended.get());
        if (leftBehind)
            return 0; // another worker has taken this one's place
    }
}

// A new worker; false when the system has no thread to give.
bool AddWorker(const std::shared_ptr<Shared>& shared) {
    auto* handed = new std::shared_ptr<Shared>(shared);
    DWORD id = 0;
    UniqueHandle thread(CreateThread(nullptr, 0, Work, handed, 0, &id));
    if (!thread) {
        delete handed;
        return false;
    }
    Locked guard(shared->lock);
    shared->threads.push_back({std::move(thread), id, false});
    return true;
}

// A running transfer offers work to the workers with no whole file to take; up to the limit of
// connections, workers are made for it.
void Offer(const std::weak_ptr<Shared>& weak, SharedWork work) {
    const std::shared_ptr<Shared> shared = weak.lock();
    if (!shared)
        return;
    std::size_t added = 0;
    {
        Locked guard(shared->lock);
        if (shared->closing)
            return;
        shared->offers.push_back(std::make_shared<SharedWork>(std::move(work)));
        added = shared->limit > shared->workers ? shared->limit - shared->workers : 0;
        shared->workers += added;
        WakeAllConditionVariable(&shared->work);
    }
    for (; added > 0; --added) {
        if (!AddWorker(shared)) {
            Locked guard(shared->lock);
            shared->workers -= added;
            return;
        }
    }
}

} // namespace

BackgroundTransfers::BackgroundTransfers(std::size_t workers, std::function<void()> pump)
    : shared_(std::make_shared<Shared>()), pump_(std::move(pump)) {
    shared_->limit = workers == 0 ? 1 : workers;
}

// Transfers still running are told to stop, and the workers waited for (see EndWorkers).
BackgroundTransfers::~BackgroundTransfers() {
    for (const auto& job : running_)
        job->cancel = true;
    EndWorkers();
}

// The workers are waited for (a moment: they are idle, or stop at their next piece), so that none is
// still ending when the process ends: Wine takes a thread that talks to it then for a crash. One left
// behind with a server that never answered is not waited for.
void BackgroundTransfers::EndWorkers() {
    std::vector<HANDLE> threads;
    {
        Locked guard(shared_->lock);
        shared_->closing = true;
        WakeAllConditionVariable(&shared_->work);
        for (const auto& thread : shared_->threads) {
            if (!thread.leftBehind)
                threads.push_back(thread.handle.get());
        }
    }
    constexpr DWORD kEndWaitMs = 2000;
    const ULONGLONG deadline = GetTickCount64() + kEndWaitMs;
    for (HANDLE thread : threads) {
        const ULONGLONG now = GetTickCount64();
        WaitForSingleObject(thread, now >= deadline ? 0 : static_cast<DWORD>(deadline - now));
    }
    Locked guard(shared_->lock);
    shared_->closing = false;
    std::erase_if(shared_->threads, [](const Shared::Thread& thread) {
        return !thread.leftBehind && WaitForSingleObject(thread.handle.get(), 0) == WAIT_OBJECT_0;
    });
}

void BackgroundTransfers::Start(std::size_t ticket, Transfer transfer, const TransferOptions& options) {
    std::shared_ptr<Job> job;
    try {
        job = std::make_shared<Job>();
        job->ticket = ticket;
        job->transfer = std::move(transfer);
        job->callerOptions = options;
        job->workerOptions.expectedSha256 = options.expectedSha256;
        job->workerOptions.keepIfCurrent = options.keepIfCurrent;
        Job* raw = job.get();
        job->workerOptions.progress = [raw](std::uint64_t received, std::uint64_t total) {
            raw->received = received;
            raw->total = total;
            raw->progressed = true;
            raw->answered = true;
        };
        job->workerOptions.cancelled = [raw] { return raw->cancel.load(); };
        // With one connection there is nobody to share with: one request per file, as always.
        if (shared_->limit > 1) {
            std::weak_ptr<Shared> weak = shared_;
            job->workerOptions.offerWork = [weak](SharedWork work) { Offer(weak, std::move(work)); };
        }
        running_.push_back(job);
    } catch (...) {
        // Nothing started; Next still hands it back, as a transfer that could not be made.
        failed_.push_back({ticket, Failed(TransferError::WriteFailed, ERROR_NOT_ENOUGH_MEMORY)});
        return;
    }
    bool needWorker = false;
    {
        Locked guard(shared_->lock);
        shared_->waiting.push_back(job);
        needWorker = shared_->idle == 0 && shared_->workers < shared_->limit;
        if (needWorker)
            ++shared_->workers;
        else
            WakeConditionVariable(&shared_->work);
    }
    if (!needWorker || AddWorker(shared_))
        return;
    bool alone = false;
    {
        Locked guard(shared_->lock);
        --shared_->workers;
        // The workers there are take it when one is free; without any, nobody would.
        alone = shared_->workers == 0;
        if (alone) {
            shared_->waiting.pop_back();
            job->startedAt = GetTickCount64();
        }
    }
    if (alone) {
        // No thread to be had: the transfer still happens, only the window waits for it.
        RunJob(*job);
        Locked guard(shared_->lock);
        job->ended = true;
    }
}

FinishedDownload BackgroundTransfers::Next() {
    if (!failed_.empty()) {
        const FinishedDownload done = failed_.front();
        failed_.erase(failed_.begin());
        return done;
    }
    for (;;) {
        for (auto it = running_.begin(); it != running_.end(); ++it) {
            std::shared_ptr<Job> job = *it;
            bool ended = false;
            {
                Locked guard(shared_->lock);
                ended = job->ended;
            }
            if (ended) {
                Report(*job);
                running_.erase(it);
                return {job->ticket, job->result};
            }
            if (Overdue(*job)) {
                running_.erase(it);
                return {job->ticket, Failed(TransferError::Timeout, kInternetTimeout)};
            }
        }
        if (running_.empty())
            return {kNoTicket, Failed(TransferError::Cancelled)}; // nothing was started
        const HANDLE handles[] = {shared_->ended.get()};
        MsgWaitForMultipleObjects(1, handles, FALSE, kPumpEveryMs, QS_ALLINPUT);
        try {
            pump_();
        } catch (...) {
            // The window's trouble is not the transfers'.
        }
        for (const auto& job : running_) {
            Report(*job);
            if (job->callerOptions.cancelled && job->callerOptions.cancelled())
                job->cancel = true;
        }
    }
}

TransferResult BackgroundTransfers::Run(Transfer transfer, const TransferOptions& options) {
    // Transfers started before stay for Next.
    std::vector<std::shared_ptr<Job>> running;
    std::vector<FinishedDownload> failed;
    running.swap(running_);
    failed.swap(failed_);
    Start(kNoTicket, std::move(transfer), options);
    const FinishedDownload done = Next();
    running_.swap(running);
    failed_.swap(failed);
    return done.result;
}

// The newest figures, on the calling thread.
void BackgroundTransfers::Report(Job& job) {
    if (!job.progressed.exchange(false))
        return;
    try {
        if (job.callerOptions.progress)
            job.callerOptions.progress(job.received, job.total);
    } catch (...) {
        // A display that fails does not end the transfer.
    }
}

// A transfer whose server has not answered in time is given up: it stops at its first chance and
// keeps nothing (it holds its own share of the state, and the cancellation stops it before any
// commit), and a new worker takes the place of the one it holds.
bool BackgroundTransfers::Overdue(Job& job) {
    if (job.answered)
        return false;
    const modSetup::Timeouts limits = modSetup::CurrentTimeouts();
    const ULONGLONG allowed = ULONGLONG{limits.connectMs} + limits.receiveMs + kAnswerSlackMs;
    {
        Locked guard(shared_->lock);
        if (job.ended || job.startedAt == 0 || GetTickCount64() <= job.startedAt + allowed)
            return false;
        job.abandoned = true;
        --shared_->workers;
        for (auto& thread : shared_->threads) {
            if (thread.id == job.worker)
                thread.leftBehind = true;
        }
    }
    job.cancel = true;
    return true;
}

} // namespace zunor
