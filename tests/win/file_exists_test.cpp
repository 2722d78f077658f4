// FileExists: files count, folders and absent names do not, and a file held open still counts.
#include <gtest/gtest.h>
#include <windows.h>

#include "download/modsetup.h"
#include "tests/win/download_test_support.h"

namespace zunor::test {
namespace {

using modSetup::FileExists;

TEST(FileExists, TellsFilesFromFoldersAndAbsentNames) {
    ScratchFolder dir;
    const std::wstring file = dir / L"firme.mdb";
    ASSERT_TRUE(WriteBytes(file, "data"));

    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(dir.path() + L"\\"));
    EXPECT_FALSE(FileExists(dir / L"absent.mdb"));
    EXPECT_FALSE(FileExists(dir / L"absent\\firme.mdb"));
    EXPECT_FALSE(FileExists(L""));

    // The test opens nothing: the file can still be opened exclusively and is unchanged.
    HANDLE exclusive =
        CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    if (exclusive != INVALID_HANDLE_VALUE)
        CloseHandle(exclusive);
    EXPECT_TRUE(FileHolds(file, std::string("data")));
}

TEST(FileExists, FileHeldOpenWithoutSharingIsPresent) {
    ScratchFolder dir;
    const std::wstring file = dir / L"firme.mdb";
    ASSERT_TRUE(WriteBytes(file, "company data"));
    HANDLE held =
        CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    EXPECT_TRUE(FileExists(file));

    CloseHandle(held);
}

} // namespace
} // namespace zunor::test
