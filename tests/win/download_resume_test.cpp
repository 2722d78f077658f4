// A file whose body breaks off is taken up again: from where it broke when the server serves
// ranges of the same version, from the start otherwise, twice at most.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "download/modsetup.h"
#include "tests/win/download_test_support.h"

namespace zunor::test {
namespace {

class DownloadResumeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Servers().complete()) << "test servers not named in the environment";
    }

    // Downloads path (tagged) over an old copy and returns the result.
    TransferResult Fetch(const std::wstring& fault, std::wstring* path = nullptr) {
        const std::wstring tagged = fault + L"/" + UniqueTag();
        if (path)
            *path = tagged;
        EXPECT_TRUE(WriteBytes(target, old));
        return modSetup::DownloadFile(Servers().fault + tagged, target, options);
    }
    std::string Request(const std::wstring& path, std::size_t i) {
        auto log = FaultRequestLog(path);
        return i < log.size() ? log[i] : "(none)";
    }

    ScratchFolder dir;
    const std::wstring target = dir / L"data.cab";
    const std::string old = "old copy";
    zunor::TransferOptions options;
};

TEST_F(DownloadResumeTest, DropAtNinetyPercentOfALargeFileIsResumedFromThere) {
    constexpr std::size_t kSize = 64u * 1024 * 1024;
    constexpr std::size_t kBreak = kSize / 10 * 9;
    std::uint64_t lastReceived = 0;
    bool wentBack = false;
    options.progress = [&](std::uint64_t received, std::uint64_t total) {
        wentBack = wentBack || received < lastReceived || total != kSize;
        lastReceived = received;
    };
    std::wstring path;
    const auto result = Fetch(L"/ranged/" + std::to_wstring(kSize) + L"/" + std::to_wstring(kBreak), &path);

    ASSERT_TRUE(result.ok()) << "error " << static_cast<int>(result.error);
    EXPECT_EQ(result.attempts, 2);
    EXPECT_TRUE(FileHolds(target, Pattern(kSize)));
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"data.cab"});
    const auto log = FaultRequestLog(path);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "200 - " + std::to_string(kBreak));
    EXPECT_EQ(log[1], "206 bytes=" + std::to_string(kBreak) + "- " + std::to_string(kSize - kBreak));
    EXPECT_EQ(result.bytes, kSize); // received in all: nothing twice
    EXPECT_FALSE(wentBack) << "progress moved back or lost the total";
    EXPECT_EQ(lastReceived, kSize);
}

TEST_F(DownloadResumeTest, ServerWithoutRangesGetsARestartFromZero) {
    constexpr std::size_t kSize = 3'000'000;
    std::wstring path;
    const auto result = Fetch(L"/norange/3000000/2700000", &path);
    ASSERT_TRUE(result.ok()) << "error " << static_cast<int>(result.error);
    EXPECT_TRUE(FileHolds(target, Pattern(kSize)));
    EXPECT_EQ(Request(path, 1), "200 - 3000000"); // no Range asked of a server that offers none
    EXPECT_EQ(FaultRequestCount(path), 2);
}

TEST_F(DownloadResumeTest, ChangedVersionIsFetchedWhole) {
    constexpr std::size_t kSize = 3'000'000;
    std::wstring path;
    const auto result = Fetch(L"/ranged-changed/3000000/2700000", &path);
    ASSERT_TRUE(result.ok()) << "error " << static_cast<int>(result.error);
    EXPECT_TRUE(FileHolds(target, Pattern(kSize)));
    // If-Range carried the first version's tag; the server answered with the whole new one.
    EXPECT_EQ(Request(path, 1), "200 bytes=2700000- 3000000");
}

TEST_F(DownloadResumeTest, TwoResumptionsAtMostAfterOneAndThreeSeconds) {
    std::wstring path;
    const ULONGLONG start = GetTickCount64();
    const auto result = Fetch(L"/ranged-drops/3000000/500000", &path);
    const ULONGLONG elapsed = GetTickCount64() - start;

    EXPECT_EQ(result.error, TransferError::ConnectionLost);
    EXPECT_EQ(result.attempts, 3);
    EXPECT_EQ(FaultRequestLog(path), (std::vector<std::string>{"200 - 500000", "206 bytes=500000- 500000",
                                                               "206 bytes=1000000- 500000"}));
    EXPECT_GE(elapsed, 4000u - 50u); // the two pauses (the tick count is coarse)
    EXPECT_TRUE(FileHolds(target, old));
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"data.cab"}); // the kept bytes went too
}

TEST_F(DownloadResumeTest, CancelBetweenPiecesLeavesTheOldCopy) {
    bool asked = false;
    options.progress = [&](std::uint64_t received, std::uint64_t) { asked = asked || received >= 1'000'000; };
    options.cancelled = [&] { return asked; };
    const auto result = Fetch(L"/throttle/4000000/ok/20000000");
    EXPECT_EQ(result.error, TransferError::Cancelled);
    EXPECT_LT(result.bytes, 2'000'000u);
    EXPECT_TRUE(FileHolds(target, old));
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"data.cab"});
}

} // namespace
} // namespace zunor::test
