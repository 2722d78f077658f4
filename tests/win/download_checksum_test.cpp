// SHA-256 (CNG and the processor's instructions), downloads that must match a published checksum, texts
// fetched into memory, and the publisher's signature on CNG.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "common/sha256_plain.h"
#include "download/modsetup.h"
#include "download/signature_check.h"
#include "download/sha256.h"
#include "download/sha256_blocks.h"
#include "tests/win/download_test_support.h"
#include "install/sha256_sums.h"

namespace zunor::test {
namespace {

using modSetup::DownloadFile;
using modSetup::detail::Sha256;

std::string Hex(const Sha256Digest& d) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t b : d) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

Sha256Digest DigestOf(const std::string& bytes, Sha256::Engine engine = Sha256::Engine::Fastest) {
    Sha256 hash(engine);
    hash.Add(bytes.data(), static_cast<ULONG>(bytes.size()));
    return hash.Finish().value_or(Sha256Digest{});
}

TEST(Sha256, KnownDigestsWhateverTheChunkingOnEitherEngine) {
    for (const auto engine : {Sha256::Engine::Fastest, Sha256::Engine::Cng}) {
        EXPECT_EQ(Hex(DigestOf("", engine)), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
        EXPECT_EQ(Hex(DigestOf("abc", engine)), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        const std::string million(1000000, 'a');
        Sha256 pieces(engine);
        for (std::size_t at = 0, step = 1; at < million.size(); at += step, step = step * 3 % 70001 + 1) {
            const std::size_t n = std::min(step, million.size() - at);
            pieces.Add(million.data() + at, static_cast<ULONG>(n));
        }
        const auto digest = pieces.Finish();
        ASSERT_TRUE(digest);
        EXPECT_EQ(Hex(*digest), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
        EXPECT_FALSE(pieces.Finish()) << "a finished hash gives no second digest";
    }
}

void CompareEngines() {
    std::string bytes(4200, '\0');
    std::uint32_t x = 2021;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    for (std::size_t length = 0; length <= bytes.size(); length += length < 200 ? 1 : 61) {
        const std::string part = bytes.substr(0, length);
        const Sha256Digest expected = DigestOf(part, Sha256::Engine::Cng);
        EXPECT_EQ(DigestOf(part), expected) << length << " bytes whole";
        Sha256 pieces;
        for (std::size_t at = 0, step = 1; at < length; at += step, step = step % 97 + 13)
            pieces.Add(part.data() + at, static_cast<ULONG>(std::min(step, length - at)));
        EXPECT_EQ(pieces.Finish(), expected) << length << " bytes in pieces";
    }
}

DWORD WINAPI CompareOnThread(void*) {
    CompareEngines();
    return 0;
}

// The processor's SHA instructions against CNG: every length around the block and padding edges,
// fed whole and in odd pieces, on a thread of its own as transfers hash (a 32-bit thread may start
// with a stack the vector instructions cannot use as it is).
TEST(Sha256, ProcessorInstructionsAgreeWithCng) {
    if (!modSetup::detail::ShaInstructionsAvailable())
        GTEST_SKIP() << "this processor has no SHA instructions: CNG hashes everything";
    for (int threads = 0; threads < 4; ++threads) {
        const HANDLE thread = CreateThread(nullptr, 0, CompareOnThread, nullptr, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

class ChecksumDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Servers().complete()) << "test servers not named in the environment";
    }
    ScratchFolder dir;
};

TEST_F(ChecksumDownloadTest, FileMatchingThePublishedSumsTakesItsPlace) {
    // The digests the sample's SHA256SUMS publishes were made by another program (python's hashlib).
    const auto text = ReadBytes(ServedFile(L"SUPORT\\SHA256SUMS"));
    ASSERT_TRUE(text);
    const Sha256Sums sums = ParseSha256Sums(*text);
    ASSERT_TRUE(sums.badLines.empty());
    ASSERT_TRUE(sums.digests.contains("ZunorGrid.ocx"));
    const std::wstring target = dir / L"ZunorGrid.ocx";
    ASSERT_TRUE(WriteBytes(target, "older version"));
    TransferOptions options;
    options.expectedSha256 = sums.digests.at("ZunorGrid.ocx");

    const auto result = DownloadFile(Servers().apache + L"/zunor/SUPORT/ZunorGrid.ocx", target, options);

    ASSERT_TRUE(result.ok()) << static_cast<int>(result.error);
    EXPECT_TRUE(FileHolds(target, ReadBytes(ServedFile(L"SUPORT\\ZunorGrid.ocx"))));
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"ZunorGrid.ocx"});
}

TEST_F(ChecksumDownloadTest, MismatchKeepsTheOldCopyAndLeavesNoPartFile) {
    const std::wstring target = dir / L"big.bin";
    ASSERT_TRUE(WriteBytes(target, "the copy that works"));
    TransferOptions options;
    Sha256Digest wrong = DigestOf(Pattern(3000017));
    wrong[31] ^= 1;
    options.expectedSha256 = wrong;

    const auto result = DownloadFile(Servers().fault + L"/ok/3000017", target, options);

    EXPECT_EQ(result.error, TransferError::ChecksumMismatch);
    EXPECT_EQ(result.bytes, 3000017u) << "the whole body was read and hashed";
    EXPECT_EQ(ReasonText(result), L"kontrolni zbir se ne poklapa");
    EXPECT_TRUE(FileHolds(target, std::string("the copy that works")));
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"big.bin"});

    options.expectedSha256 = DigestOf(Pattern(3000017));
    ASSERT_TRUE(DownloadFile(Servers().fault + L"/ok/3000017", target, options).ok());
    EXPECT_TRUE(FileHolds(target, Pattern(3000017)));
}

TEST_F(ChecksumDownloadTest, ResumedTransferHashesWhatItKeptToo) {
    const std::wstring tag = UniqueTag();
    const std::wstring target = dir / L"resumed.bin";
    TransferOptions options;
    options.expectedSha256 = DigestOf(Pattern(400000));

    const auto good = DownloadFile(Servers().fault + L"/ranged/400000/150000/" + tag, target, options);

    ASSERT_TRUE(good.ok()) << static_cast<int>(good.error);
    EXPECT_TRUE(FileHolds(target, Pattern(400000)));
    const auto requests = FaultRequestLog(L"/ranged/400000/150000/" + tag);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].substr(0, 3), "206") << "the second request took up the kept bytes";

    Sha256Digest wrong = *options.expectedSha256;
    wrong[0] ^= 0x80;
    options.expectedSha256 = wrong;
    const std::wstring other = dir / L"other.bin";
    const auto bad = DownloadFile(Servers().fault + L"/ranged/400000/150000/" + UniqueTag(), other, options);
    EXPECT_EQ(bad.error, TransferError::ChecksumMismatch);
    EXPECT_EQ(ListNames(dir.path()), std::vector<std::wstring>{L"resumed.bin"});
}

TEST_F(ChecksumDownloadTest, TextIsFetchedIntoMemoryAndNothingStaysOnDisk) {
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    const auto before = ListNames(temp);

    std::string body = "stale";
    const auto listed = modSetup::FetchText(Servers().apache + L"/zunor/SHA256SUMS", body);
    ASSERT_TRUE(listed.ok());
    EXPECT_EQ(body, ReadBytes(ServedFile(L"SHA256SUMS")).value_or("?"));

    const auto page = modSetup::FetchText(Servers().fault + L"/chunked/70000", body);
    ASSERT_TRUE(page.ok()) << "a chunked page is kept as decoded";
    EXPECT_EQ(body, Pattern(70000));

    const auto missing = modSetup::FetchText(Servers().apache + L"/zunor/nothing-here", body);
    EXPECT_EQ(missing.error, TransferError::HttpStatus);
    EXPECT_EQ(missing.status, 404);
    EXPECT_TRUE(body.empty());

    EXPECT_EQ(ListNames(temp), before);
}

} // namespace
} // namespace zunor::test

namespace zunor::test {
namespace {

// The publisher's signature, checked by CNG against what openssl made when this tree was built.
std::string Vector(const char* name) {
    const std::optional<std::string> bytes =
        ReadBytes(Servers().build + L"\\tests\\signature-vectors\\" + std::wstring(name, name + strlen(name)));
    EXPECT_TRUE(bytes) << name;
    return bytes.value_or("");
}

TEST(PublisherSignature, OnlyTheKeysOwnSignatureOverTheExactBytesVerifies) {
    const std::string key = Vector("key.pub"), message = Vector("message");
    EXPECT_TRUE(modSetup::VerifyPublisherSignature(key, message, Vector("good.sig")));
    EXPECT_TRUE(modSetup::VerifyPublisherSignature(Vector("other.pub"), message, Vector("other.sig")));
    EXPECT_FALSE(modSetup::VerifyPublisherSignature(key, message, Vector("other.sig")));
    EXPECT_FALSE(modSetup::VerifyPublisherSignature(key, Vector("changed"), Vector("good.sig")));
    EXPECT_FALSE(modSetup::VerifyPublisherSignature(key, message, Vector("truncated.sig")));
    EXPECT_FALSE(modSetup::VerifyPublisherSignature(key, message, Vector("notder.sig")));
    EXPECT_FALSE(modSetup::VerifyPublisherSignature("", message, Vector("good.sig")));
    // One bit of r or s flipped, in the raw form CNG takes.
    const std::optional<P256Point> point = P256KeyFromPem(key);
    std::optional<P256Signature> rs = P256SignatureFromDer(Vector("good.sig"));
    ASSERT_TRUE(point && rs);
    EXPECT_TRUE(modSetup::VerifyP256(*point, Sha256Of(message), *rs));
    (*rs)[40] ^= 0x01;
    EXPECT_FALSE(modSetup::VerifyP256(*point, Sha256Of(message), *rs));
}

} // namespace
} // namespace zunor::test
