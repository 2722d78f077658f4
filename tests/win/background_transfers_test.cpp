// The transfers beside the window: up to n at once, handed back as they end with their progress told
// on the waiting thread; one whose server never answers is given up in time while its worker is
// replaced, so the transfers after it still run.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "app/background_transfer.h"
#include "tests/win/download_test_support.h"

namespace zunor::test {
namespace {

TransferResult Done(std::uint64_t bytes) {
    TransferResult result;
    result.bytes = bytes;
    return result;
}

TEST(BackgroundTransfers, UpToNAtOnceHandedBackAsTheyEnd) {
    int pumps = 0;
    BackgroundTransfers transfers(3, [&] { ++pumps; });
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    std::vector<DWORD> reportedOn;
    const DWORD caller = GetCurrentThreadId();
    // Transfer k takes (4 - k) * 200 ms: the last started ends first.
    for (std::size_t k = 0; k < 3; ++k) {
        TransferOptions options;
        options.progress = [&](std::uint64_t, std::uint64_t) { reportedOn.push_back(GetCurrentThreadId()); };
        transfers.Start(
            k,
            [&, k](const TransferOptions& own) {
                const int now = ++running;
                most = std::max(most.load(), now);
                own.progress(k, 3);
                Sleep(static_cast<DWORD>((4 - k) * 200));
                --running;
                return Done(k);
            },
            options);
    }
    std::vector<std::size_t> order;
    for (int i = 0; i < 3; ++i) {
        const FinishedDownload done = transfers.Next();
        EXPECT_EQ(done.result.bytes, done.ticket);
        order.push_back(done.ticket);
    }
    EXPECT_EQ(order, (std::vector<std::size_t>{2, 1, 0}));
    EXPECT_EQ(most, 3) << "the three did not run at once";
    EXPECT_EQ(reportedOn, std::vector<DWORD>(3, caller)) << "progress must be told on the waiting thread";
    EXPECT_GT(pumps, 0) << "the window was not let work while waiting";
}

TEST(BackgroundTransfers, AnUnansweredTransferIsGivenUpAndTheNextStillRuns) {
    ShortTimeouts limits{100, 100}; // the deadline for an answer: these, and two seconds of slack
    BackgroundTransfers transfers(1, [] {});
    std::atomic<bool> leftBehind{false};
    // Never answers (no progress) until it is told to stop.
    transfers.Start(
        7,
        [&](const TransferOptions& own) {
            while (!own.cancelled())
                Sleep(10);
            leftBehind = true;
            TransferResult result;
            result.error = TransferError::Cancelled;
            return result;
        },
        {});
    const ULONGLONG start = GetTickCount64();
    const FinishedDownload timedOut = transfers.Next();
    EXPECT_EQ(timedOut.ticket, 7u);
    EXPECT_EQ(timedOut.result.error, TransferError::Timeout);
    EXPECT_LT(GetTickCount64() - start, 5000u);
    // The only worker is still held: the next transfer needs a new one.
    transfers.Start(8, [](const TransferOptions&) { return Done(8); }, {});
    const FinishedDownload next = transfers.Next();
    EXPECT_EQ(next.ticket, 8u);
    EXPECT_TRUE(next.result.ok());
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (!leftBehind && GetTickCount64() < deadline)
        Sleep(10);
    EXPECT_TRUE(leftBehind) << "the transfer given up was not told to stop";
}

} // namespace
} // namespace zunor::test
