// Ending the program mid-transfer: StopTransfers breaks off every transfer within a second, a
// flowing one and one whose server went silent alike, and leaves the old copies and no temporary
// file. A stop is for good, so this is a program of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "download/modsetup.h"
#include "tests/win/download_test_support.h"

namespace zunor::test {
namespace {

struct Running {
    std::wstring target;
    std::atomic<std::uint64_t> received{0};
    TransferResult result;
    std::thread thread;
};

void Start(Running& run, const std::wstring& url) {
    run.thread = std::thread([&run, url] {
        TransferOptions options;
        options.progress = [&run](std::uint64_t received, std::uint64_t) { run.received = received; };
        run.result = modSetup::DownloadFile(url, run.target, options);
    });
}

TEST(StopTransfers, BreaksOffFlowingAndSilentTransfersWithinASecond) {
    ASSERT_TRUE(Servers().complete()) << "test servers not named in the environment";
    ShortTimeouts limits{3000, 3000}; // the silent read ends after 3 s, not 30
    ScratchFolder dir;
    const std::string old = "old copy";
    Running flowing;
    Running silent;
    flowing.target = dir / L"flowing.cab";
    silent.target = dir / L"silent.cab";
    ASSERT_TRUE(WriteBytes(flowing.target, old));
    ASSERT_TRUE(WriteBytes(silent.target, old));

    // 2 MB/s for 20 MB; and 70000 bytes, then nothing for longer than the 30 s receive limit.
    Start(flowing, Servers().fault + L"/throttle/2000000/ok/20000000/" + UniqueTag());
    Start(silent, Servers().fault + L"/stall/200000/70000/" + UniqueTag());
    const ULONGLONG deadline = GetTickCount64() + 20000;
    // The silent one shows its first piece; its read then waits for the rest of the 64 KiB chunk.
    while ((flowing.received < 1'000'000 || silent.received == 0) && GetTickCount64() < deadline)
        Sleep(20);
    EXPECT_GE(flowing.received, 1'000'000u);
    EXPECT_GT(silent.received, 0u);
    Sleep(300); // let the silent read settle into its wait

    // The flowing transfer ends in time. The silent one's read is not broken off under Wine: the
    // stop removes its temporary file itself, which goes as the read ends (at the latest when the
    // program does).
    const ULONGLONG stopAt = GetTickCount64();
    modSetup::StopTransfers(900);
    const ULONGLONG took = GetTickCount64() - stopAt;
    flowing.thread.join();
    silent.thread.join();

    EXPECT_LE(took, 1000u);
    EXPECT_EQ(flowing.result.error, TransferError::Cancelled);
    EXPECT_EQ(silent.result.error, TransferError::Cancelled);
    EXPECT_TRUE(FileHolds(flowing.target, old));
    EXPECT_TRUE(FileHolds(silent.target, old));
    EXPECT_EQ(ListNames(dir.path()), (std::vector<std::wstring>{L"flowing.cab", L"silent.cab"}));

    // And a transfer begun after the stop ends before it asks anything.
    const std::wstring late = L"/ok/100/" + UniqueTag();
    EXPECT_EQ(modSetup::DownloadFile(Servers().fault + late, dir / L"late.cab").error,
              TransferError::Cancelled);
    EXPECT_EQ(FaultRequestCount(late), 0);
}

} // namespace
} // namespace zunor::test
