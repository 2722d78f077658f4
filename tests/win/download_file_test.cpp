// DownloadFile against the local Apache and the fault server: what a good answer leaves on disk.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "download/modsetup.h"
#include "tests/win/download_test_support.h"

namespace zunor::test {
namespace {

using modSetup::DownloadFile;

class DownloadFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Servers().complete()) << "test servers not named in the environment";
    }
    ScratchFolder dir;
};

TEST_F(DownloadFileTest, StoresServedFilesByteForByte) {
    // Binary files with zero bytes and bytes above 127: a resource file and a DLL.
    for (const std::wstring name : {L"ZunorRes.dat", L"SUPORT\\ZunorGrid.ocx", L"firme.mdb"}) {
        auto served = ReadBytes(ServedFile(name));
        ASSERT_TRUE(served && !served->empty()) << "sample tree lacks the file";
        std::wstring urlPath = name;
        std::replace(urlPath.begin(), urlPath.end(), L'\\', L'/');
        const std::wstring target = dir / L"copy.bin";

        auto result = DownloadFile(Servers().apache + L"/zunor/" + urlPath, target);

        ASSERT_TRUE(result.ok()) << "error " << static_cast<int>(result.error) << " system "
                                 << result.systemError;
        EXPECT_EQ(result.status, 200);
        EXPECT_EQ(result.attempts, 1);
        EXPECT_EQ(result.bytes, served->size());
        EXPECT_TRUE(FileHolds(target, served));
    }
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"copy.bin"});
}

TEST_F(DownloadFileTest, ShorterBodyLeavesNoOldBytes) {
    const std::wstring target = dir / L"program.exe";
    ASSERT_TRUE(WriteBytes(target, std::string(100000, 'x')));

    auto result = DownloadFile(Servers().fault + L"/ok/1000", target);

    ASSERT_TRUE(result.ok());
    EXPECT_TRUE(FileHolds(target, Pattern(1000)));
}

TEST_F(DownloadFileTest, EmptyBodyGivesEmptyFile) {
    const std::wstring target = dir / L"empty.dat";
    ASSERT_TRUE(WriteBytes(target, "old content"));

    auto result = DownloadFile(Servers().fault + L"/ok/0", target);

    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.bytes, 0u);
    EXPECT_TRUE(FileHolds(target, std::string()));
}

TEST_F(DownloadFileTest, BodiesLargerThanOneChunkArriveWhole) {
    const std::wstring target = dir / L"big.bin";
    auto plain = DownloadFile(Servers().fault + L"/ok/3000017", target);
    ASSERT_TRUE(plain.ok());
    EXPECT_TRUE(FileHolds(target, Pattern(3000017)));
    EXPECT_EQ(plain.bytes, 3000017u);
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"big.bin"});
}

TEST_F(DownloadFileTest, FollowsRedirectsThatStayOnHttps) {
    // Apache answers the folder without its slash with 301 to the folder with it.
    const std::wstring listing = dir / L"pdown.ini";
    auto folder = DownloadFile(Servers().apache + L"/zunor", listing);
    ASSERT_TRUE(folder.ok()) << "error " << static_cast<int>(folder.error);
    auto page = ReadBytes(listing);
    ASSERT_TRUE(page);
    EXPECT_NE(page->find("href=\"firme.mdb\""), std::string::npos);

    const std::wstring target = dir / L"moved.bin";
    auto moved = DownloadFile(Servers().fault + L"/redirect-https/ok/777", target);
    ASSERT_TRUE(moved.ok());
    EXPECT_TRUE(FileHolds(target, Pattern(777)));
}

TEST_F(DownloadFileTest, MissingFolderWritesNothing) {
    const std::wstring missing = dir / L"no-such-folder";
    auto result = DownloadFile(Servers().fault + L"/ok/100", missing + L"\\file.bin");

    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error, TransferError::WriteFailed);
    EXPECT_NE(result.systemError, 0u);
    EXPECT_FALSE(IsFolder(missing));
    EXPECT_TRUE(ListNames(dir.path()).empty());
}

TEST_F(DownloadFileTest, DestinationHeldOpenKeepsItsContent) {
    const std::wstring target = dir / L"locked.dll";
    ASSERT_TRUE(WriteBytes(target, "in use"));
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    auto result = DownloadFile(Servers().fault + L"/ok/500", target);
    CloseHandle(held);

    EXPECT_EQ(result.error, TransferError::WriteFailed);
    EXPECT_TRUE(FileHolds(target, std::string("in use")));
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"locked.dll"});
}

TEST_F(DownloadFileTest, LeavesNothingInTheUrlCache) {
    const std::wstring url = Servers().apache + L"/zunor/updater.exe?cache-" + UniqueTag();
    ASSERT_TRUE(DownloadFile(url, dir / L"updater.exe").ok());
    DWORD size = 0;
    EXPECT_FALSE(GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// The access log's lines for requests whose URL contains tag; Apache writes a line once the answer
// is out, so wait for it with a deadline.
std::vector<std::string> AccessLogLines(const std::string& tag, std::size_t wanted) {
    const std::wstring log = Servers().build + L"\\apache-" +
                             Servers().apache.substr(Servers().apache.rfind(L':') + 1) + L"\\access.log";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::vector<std::string> lines;
    do {
        lines.clear();
        std::ifstream in{std::filesystem::path(log)};
        for (std::string line; std::getline(in, line);)
            if (line.find(tag) != std::string::npos)
                lines.push_back(line);
        if (lines.size() >= wanted)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return lines;
}

TEST_F(DownloadFileTest, ReusesTheConnectionBetweenFiles) {
    const std::wstring tag = UniqueTag();
    const std::string narrowTag(tag.begin(), tag.end());
    for (const wchar_t* name : {L"firme.mdb", L"updater.exe", L"ZunorRes.dat"})
        ASSERT_TRUE(DownloadFile(Servers().apache + L"/zunor/" + name + L"?" + tag, dir / name).ok());

    auto lines = AccessLogLines(narrowTag, 3);
    ASSERT_EQ(lines.size(), 3u);
    // Format: METHOD STATUS BYTES KEEPALIVE_COUNT ... ; a count above 0 means an open connection was reused.
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::istringstream fields(lines[i]);
        std::string method, status, bytes;
        int keepAlive = -1;
        fields >> method >> status >> bytes >> keepAlive;
        EXPECT_EQ(status, "200");
        EXPECT_GT(keepAlive, 0) << lines[i];
    }
}

} // namespace
} // namespace zunor::test
