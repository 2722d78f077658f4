// The bar, the status line and the log while a file is on its way.
#include <gtest/gtest.h>

#include "install/retrieval_queue.h"
#include "install/transfer_progress.h"

namespace zunor {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

TEST(RetrievalQueue, StartsInOrderUpToTheConnectionsAndFinishesInOrder) {
    RetrievalQueue queue(4);
    EXPECT_EQ(queue.NextToStart(2), 0u);
    EXPECT_EQ(queue.NextToStart(2), 1u);
    EXPECT_EQ(queue.NextToStart(2), std::nullopt);
    queue.Ended(1);
    EXPECT_EQ(queue.NextToFinish(), std::nullopt) << "file 0 is still running";
    EXPECT_EQ(queue.NextToStart(2), 2u);
    queue.Ended(0);
    EXPECT_EQ(queue.NextToFinish(), 0u);
    EXPECT_EQ(queue.NextToFinish(), 1u);
    EXPECT_EQ(queue.NextToFinish(), std::nullopt);
    EXPECT_EQ(queue.NextToStart(1), std::nullopt) << "one running already";
    EXPECT_EQ(queue.NextToStart(2), 3u);
    queue.Ended(3);
    queue.Ended(2);
    EXPECT_EQ(queue.NextToFinish(), 2u);
    EXPECT_EQ(queue.NextToFinish(), 3u);
    EXPECT_TRUE(queue.Done());
}

TEST(RetrievalQueue, FillCountsEndedFilesWholeAndNeverGoesBack) {
    RetrievalQueue queue(4);
    queue.NextToStart(4);
    queue.NextToStart(4);
    queue.Progress(0, 0.5);
    queue.Progress(1, 0.25);
    EXPECT_DOUBLE_EQ(queue.Fill(), 0.1875);
    queue.Progress(0, 0.1); // the transfer started over
    EXPECT_DOUBLE_EQ(queue.Fill(), 0.1875);
    queue.Progress(1, 7.0); // more than declared never runs ahead
    queue.Ended(0);
    EXPECT_DOUBLE_EQ(queue.Fill(), 0.5);
    EXPECT_DOUBLE_EQ(RetrievalQueue(0).Fill(), 0.0);
}

TEST(TransferStatus, NamesOnlyFilesOverOneMegabyte) {
    EXPECT_EQ(TransferStatus(L"Preuzimanje", L"a.cab", 3 * kMiB / 2, 256 * kMiB),
              L"Preuzimanje - a.cab (1,5 od 256,0 MB)");
    EXPECT_EQ(TransferStatus(L"Preuzimanje", L"a.cab", kMiB - 1, kMiB + 1),
              L"Preuzimanje - a.cab (0,9 od 1,0 MB)");
    EXPECT_EQ(TransferStatus(L"Preuzimanje", L"a.cab", 10, kMiB), L"Preuzimanje");
    EXPECT_EQ(TransferStatus(L"Preuzimanje", L"a.cab", 10, 0), L"Preuzimanje");
}

TEST(MegabytesOf, RoundsDownSoOnlyACompleteFileShowsItsSize) {
    EXPECT_EQ(MegabytesOf(0, 64 * kMiB), L"0,0 od 64,0 MB");
    EXPECT_EQ(MegabytesOf(64 * kMiB - 1, 64 * kMiB), L"63,9 od 64,0 MB");
    EXPECT_EQ(MegabytesOf(99 * kMiB, 64 * kMiB), L"64,0 od 64,0 MB");
}

TEST(NewTenth, ReportsEachTenthOnceForLargeFiles) {
    const std::uint64_t total = 10 * kMiB;
    EXPECT_FALSE(NewTenth(kMiB - 1, total, 0));
    EXPECT_EQ(NewTenth(kMiB, total, 0), 1);
    EXPECT_FALSE(NewTenth(kMiB + 5, total, 1));
    EXPECT_EQ(NewTenth(7 * kMiB, total, 1), 7); // a jump reports where it landed
    EXPECT_EQ(NewTenth(total, total, 7), 10);
    EXPECT_FALSE(NewTenth(kMiB, total, 7)); // a restart from zero does not repeat tenths
    EXPECT_FALSE(NewTenth(kMiB, kMiB, 0));  // 1 MiB is not large
    EXPECT_FALSE(NewTenth(5, 0, 0));
}

} // namespace
} // namespace zunor
