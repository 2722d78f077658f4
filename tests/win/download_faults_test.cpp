// DownloadFile against every kind of bad answer: the old file stays byte for byte, no temporary file
// is left behind, and the result names what went wrong.
#include <gtest/gtest.h>
#include <windows.h>

#include "download/modsetup.h"
#include "tests/win/download_test_support.h"

namespace zunor::test {
namespace {

enum class Where { Fault, Untrusted, Nowhere, PlainHttp };

struct Fault {
    const char* name;
    Where where;
    const wchar_t* path; // the test's tag is appended
    TransferError error;
    int status;       // expected HTTP status, or -1 when none is checked
    int requests = 1; // requests the fault server sees for the path
    int attempts = requests; // what DownloadFile counts (redirects are one attempt)
};

std::ostream& operator<<(std::ostream& out, const Fault& fault) {
    return out << fault.name;
}

// Short limits keep the stalled cases quick; the installer's own are 15 s and 30 s.
constexpr unsigned long kConnectMs = 3000;
constexpr unsigned long kReceiveMs = 1000;

const Fault kFaults[] = {
    {"NotFound", Where::Fault, L"/status/404", TransferError::HttpStatus, 404},
    {"ServerError", Where::Fault, L"/status/500", TransferError::HttpStatus, 500},
    {"NotModified", Where::Fault, L"/status/304", TransferError::HttpStatus, 304},
    // A body that breaks off is fetched twice more; without ranges from the start each time.
    {"DroppedMidBody", Where::Fault, L"/drop/200000/70000", TransferError::ConnectionLost, 200, 3},
    {"ClosedCleanlyMidBody", Where::Fault, L"/short/200000/70000", TransferError::ConnectionLost, 200, 3},
    {"ChunkedBodyCut", Where::Fault, L"/chunked-cut/200000/70000", TransferError::ConnectionLost, 200},
    {"ChunkedBodyClosedCleanly", Where::Fault, L"/chunked-short/200000/70000", TransferError::ConnectionLost,
     200},
    // Even whole: without a declared length a program file cannot be verified.
    {"ChunkedBodyWhole", Where::Fault, L"/chunked/200000", TransferError::ConnectionLost, 200},
    {"GarbageContentLength", Where::Fault, L"/badlength/300", TransferError::ConnectionLost, -1},
    {"ClosedWithoutAnswer", Where::Fault, L"/flaky/9/x/ok/10", TransferError::ConnectionLost, -1},
    {"StallsMidBody", Where::Fault, L"/stall/200000/70000", TransferError::Timeout, 200, 3},
    {"NeverAnswers", Where::Fault, L"/hang", TransferError::Timeout, -1},
    {"DripsSlowerThanTheLimit", Where::Fault, L"/drip/20/1600", TransferError::Timeout, 200, 3},
    {"RedirectToHttp", Where::Fault, L"/redirect-http/ok/100", TransferError::InsecureRedirect, -1},
    // The first request and ten redirects to the same place, then the loop is given up.
    {"RedirectLoop", Where::Fault, L"/redirect-loop", TransferError::HttpStatus, 302, 11, 1},
    {"UntrustedCertificate", Where::Untrusted, L"/ok/100", TransferError::BadCertificate, -1},
    {"NothingListening", Where::Nowhere, L"/ok/100", TransferError::ConnectionLost, -1},
    {"PlainHttpUrl", Where::PlainHttp, L"/ok/100", TransferError::InsecureRedirect, -1},
};

class DownloadFaultTest : public ::testing::TestWithParam<Fault> {
protected:
    void SetUp() override {
        ASSERT_TRUE(Servers().complete()) << "test servers not named in the environment";
    }
    ScratchFolder dir;
    ShortTimeouts limits{kConnectMs, kReceiveMs};
};

std::wstring Origin(Where where) {
    switch (where) {
    case Where::Fault:
        return Servers().fault;
    case Where::Untrusted:
        return Servers().untrusted;
    case Where::Nowhere:
        return L"https://127.0.0.1:1"; // port 1: refused at once
    case Where::PlainHttp:
        return L"http://localhost:" + Servers().fault.substr(Servers().fault.rfind(L':') + 1);
    }
    return L"";
}

TEST_P(DownloadFaultTest, LeavesTheOldFileAndSaysWhy) {
    const Fault& fault = GetParam();
    const std::string old = "old file: " + Pattern(5000);
    const std::wstring target = dir / L"Zunor2021VK.exe";
    ASSERT_TRUE(WriteBytes(target, old));
    const std::wstring path = std::wstring(fault.path) + L"/" + UniqueTag();

    auto result = modSetup::DownloadFile(Origin(fault.where) + path, target);

    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error, fault.error) << "system error " << result.systemError;
    if (fault.status >= 0) {
        EXPECT_EQ(result.status, fault.status);
    }
    EXPECT_EQ(result.attempts, fault.attempts);
    EXPECT_TRUE(FileHolds(target, old));
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"Zunor2021VK.exe"});
    if (fault.error == TransferError::Timeout) {
        // The short limits decided, not some longer default.
        EXPECT_LT(result.milliseconds, 10u * kReceiveMs);
    }
    // DownloadFile repeats a request only for a body that broke off.
    if (fault.where == Where::Fault) {
        EXPECT_EQ(FaultRequestCount(path), fault.requests);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, DownloadFaultTest, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DownloadTimeouts, SlowButLivingTransferIsNotCutOff) {
    ASSERT_TRUE(Servers().complete());
    ScratchFolder dir;
    ShortTimeouts limits{kConnectMs, kReceiveMs};
    // Five bytes 300 ms apart: every silence is shorter than the limit, the whole is longer.
    auto result = modSetup::DownloadFile(Servers().fault + L"/drip/5/300", dir / L"slow.bin");
    ASSERT_TRUE(result.ok()) << "error " << static_cast<int>(result.error);
    EXPECT_TRUE(FileHolds(dir / L"slow.bin", Pattern(5)));
}

} // namespace
} // namespace zunor::test
