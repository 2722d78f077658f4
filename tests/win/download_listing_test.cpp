// DownloadListing: one attempt on a server's answer, a second one only after an error.
#include <gtest/gtest.h>
#include <windows.h>

#include "download/modsetup.h"
#include "tests/win/download_test_support.h"

namespace zunor::test {
namespace {

using modSetup::DownloadListing;

class DownloadListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Servers().complete()) << "test servers not named in the environment";
    }
    ScratchFolder dir;
    std::wstring folder() const { return dir.path() + L"\\"; }
};

TEST_F(DownloadListingTest, ServerFoldersArriveAsIndexPages) {
    auto program = DownloadListing(Servers().apache + L"/zunor", folder(), L"pdown.ini");
    auto support = DownloadListing(Servers().apache + L"/zunor/SUPORT", folder(), L"sdown.ini");

    ASSERT_TRUE(program.ok() && support.ok());
    EXPECT_EQ(program.attempts, 1);
    auto page = ReadBytes(dir / L"pdown.ini");
    ASSERT_TRUE(page);
    EXPECT_NE(page->find("href=\"Zunor2021VK.exe\""), std::string::npos);
    EXPECT_NE(page->find("href=\"SUPORT/\""), std::string::npos);
    EXPECT_NE(ReadBytes(dir / L"sdown.ini")->find("href=\"ZunorGrid.ocx\""), std::string::npos);
    EXPECT_EQ(ListNames(dir.path()), (std::vector<std::wstring>{L"pdown.ini", L"sdown.ini"}));
}

TEST_F(DownloadListingTest, ChunkedPageIsKept) {
    auto result = DownloadListing(Servers().fault + L"/chunked/90001", folder(), L"tdown.ini");

    ASSERT_TRUE(result.ok()) << "error " << static_cast<int>(result.error);
    EXPECT_TRUE(FileHolds(dir / L"tdown.ini", Pattern(90001)));
}

TEST_F(DownloadListingTest, CutDeclaredBodyIsNotKept) {
    const std::wstring path = L"/drop/90000/4000/" + UniqueTag();
    ASSERT_TRUE(WriteBytes(dir / L"tdown.ini", "listing of an earlier run"));

    auto result = DownloadListing(Servers().fault + path, folder(), L"tdown.ini");

    EXPECT_EQ(result.error, TransferError::ConnectionLost);
    EXPECT_TRUE(FileHolds(dir / L"tdown.ini", std::string("listing of an earlier run")));
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"tdown.ini"});
}

TEST_F(DownloadListingTest, StatusOtherThan200EndsAfterOneAttempt) {
    const std::wstring path = L"/status/404/" + UniqueTag();
    auto result = DownloadListing(Servers().fault + path, folder(), L"tdown.ini");

    EXPECT_EQ(result.error, TransferError::HttpStatus);
    EXPECT_EQ(result.status, 404);
    EXPECT_EQ(result.attempts, 1);
    EXPECT_EQ(FaultRequestCount(path), 1);
    EXPECT_TRUE(ListNames(dir.path()).empty());
}

TEST_F(DownloadListingTest, ErrorThenSuccessWritesTheSecondAnswer) {
    const std::wstring path = L"/flaky/1/" + UniqueTag() + L"/ok/4321";
    ASSERT_TRUE(WriteBytes(dir / L"sdown.ini", "listing of an earlier run"));

    auto result = DownloadListing(Servers().fault + path, folder(), L"sdown.ini");

    ASSERT_TRUE(result.ok()) << "error " << static_cast<int>(result.error) << " status " << result.status;
    EXPECT_EQ(result.attempts, 2);
    EXPECT_EQ(FaultRequestCount(path), 2);
    EXPECT_TRUE(FileHolds(dir / L"sdown.ini", Pattern(4321)));
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"sdown.ini"});
}

TEST_F(DownloadListingTest, TwoErrorsLeaveTheEarlierListing) {
    const std::wstring path = L"/flaky/2/" + UniqueTag() + L"/ok/10";
    ASSERT_TRUE(WriteBytes(dir / L"pdown.ini", "listing of an earlier run"));

    auto result = DownloadListing(Servers().fault + path, folder(), L"pdown.ini");

    EXPECT_EQ(result.error, TransferError::ConnectionLost);
    EXPECT_EQ(result.attempts, 2);
    EXPECT_EQ(FaultRequestCount(path), 2);
    EXPECT_TRUE(FileHolds(dir / L"pdown.ini", std::string("listing of an earlier run")));
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"pdown.ini"});
}

TEST_F(DownloadListingTest, BodyCutShortCountsAsAnErrorAndIsRetried) {
    const std::wstring path = L"/short/5000/100/" + UniqueTag();
    auto result = DownloadListing(Servers().fault + path, folder(), L"tdown.ini");

    EXPECT_EQ(result.error, TransferError::ConnectionLost);
    EXPECT_EQ(result.attempts, 2);
    EXPECT_EQ(FaultRequestCount(path), 2);
    EXPECT_TRUE(ListNames(dir.path()).empty());
}

TEST_F(DownloadListingTest, WriteFailureIsRetriedOnce) {
    const std::wstring path = L"/ok/50/" + UniqueTag();
    auto result = DownloadListing(Servers().fault + path, dir / L"missing\\", L"pdown.ini");

    EXPECT_EQ(result.error, TransferError::WriteFailed);
    EXPECT_EQ(result.attempts, 2);
    EXPECT_EQ(FaultRequestCount(path), 2);
    EXPECT_TRUE(ListNames(dir.path()).empty());
}

TEST_F(DownloadListingTest, FolderAndNameAreJoinedAsGiven) {
    // No separator is inserted: "...\inner" + "pdown.ini" lands beside inner as "innerpdown.ini".
    const std::wstring inner = dir / L"inner";
    ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr));

    auto result = DownloadListing(Servers().fault + L"/ok/64", inner, L"pdown.ini");

    ASSERT_TRUE(result.ok());
    EXPECT_TRUE(FileHolds(dir / L"innerpdown.ini", Pattern(64)));
    EXPECT_TRUE(ListNames(inner).empty());
}

} // namespace
} // namespace zunor::test
