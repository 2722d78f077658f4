#pragma once
// Transfers on worker threads while the calling thread keeps its window alive: the window's messages
// are handled at least every 50 ms while it waits, so the window repaints and the user can end the
// program in the middle of a large file. Up to n transfers run at once, each on a worker thread that
// stays for the next one, so a file costs no thread of its own.
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "common/run_ports.h"
#include "common/transfer_options.h"
#include "common/transfer_result.h"

namespace zunor {

using Transfer = std::function<TransferResult(const TransferOptions&)>;

class BackgroundTransfers {
public:
    // pump is called on the calling thread whenever messages arrive and at least every 50 ms.
    BackgroundTransfers(std::size_t workers, std::function<void()> pump);
    // Transfers still running are told to stop; the workers end by themselves.
    ~BackgroundTransfers();
    BackgroundTransfers(const BackgroundTransfers&) = delete;
    BackgroundTransfers& operator=(const BackgroundTransfers&) = delete;

    // Hands transfer to a free worker and returns at once; the caller starts no more than the
    // workers at a time. The callbacks of options are called on the calling thread only, from within
    // Next and Run (progress with the newest figures, once they changed); the worker sees them
    // through options of its own. Never throws.
    void Start(std::size_t ticket, Transfer transfer, const TransferOptions& options);
    // Waits until one of the started transfers has ended and hands it back.
    FinishedDownload Next();
    // One transfer, waited for. Never throws.
    TransferResult Run(Transfer transfer, const TransferOptions& options);
    // With nothing running, the idle workers end (under Wine a thread holds about 1 MiB); a later
    // Start makes new ones.
    void EndWorkers();

    struct Job;
    struct Shared;

private:
    void Report(Job& job);
    bool Overdue(Job& job);

    std::shared_ptr<Shared> shared_;
    std::function<void()> pump_;
    std::vector<std::shared_ptr<Job>> running_; // started and not handed back, oldest first
    std::vector<FinishedDownload> failed_;     // could not even be started
};

} // namespace zunor
