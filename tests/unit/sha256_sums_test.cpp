// Reading a folder's SHA256SUMS as sha256sum writes it.
#include <gtest/gtest.h>

#include "install/sha256_sums.h"

namespace zunor {
namespace {

const std::string kHexA = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"; // "abc"
const std::string kHexE = "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"; // ""

Sha256Digest DigestOf(const std::string& hex) {
    Sha256Digest d{};
    for (std::size_t i = 0; i < d.size(); ++i) {
        d[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    }
    return d;
}

TEST(Sha256Sums, GoodLinesInTextAndBinaryModeWithAnyLineEnd) {
    const Sha256Sums sums = ParseSha256Sums(kHexA + "  a.exe\r\n" + kHexE + " *my file.dat\n\n" + kHexA +
                                            "  TEMPLATE.rtf\r" + kHexE + "  last");
    EXPECT_TRUE(sums.badLines.empty());
    const std::map<std::string, Sha256Digest> expected{{"a.exe", DigestOf(kHexA)},
                                                       {"my file.dat", DigestOf(kHexE)},
                                                       {"TEMPLATE.rtf", DigestOf(kHexA)},
                                                       {"last", DigestOf(kHexE)}};
    EXPECT_EQ(sums.digests, expected);
    EXPECT_EQ(sums.digests.at("a.exe")[0], 0xba);
    EXPECT_EQ(sums.digests.at("last")[31], 0x55); // upper-case digits read alike
}

TEST(Sha256Sums, MalformedLinesNameTheFileTheySeemToBeAbout) {
    const std::string text = kHexA.substr(1) + "  short.dll\n"        // 63 digits
                             + kHexA + "g  long.dll\n"                // 65 characters
                             + "zz" + kHexA.substr(2) + "  hex.dll\n" // not hex
                             + kHexA + " one.dll\n"                   // one blank only
                             + kHexA + "\t\tTAB.dll\n"                // not the separator sha256sum writes
                             + kHexA + "  \n"                         // no name
                             + "garbage\n"                            // nothing to go by
                             + kHexA + "  good.dll\n";
    const Sha256Sums sums = ParseSha256Sums(text);
    EXPECT_EQ(sums.badLines, (std::vector<BadSumsLine>{{1, "short.dll"},
                                                       {2, "long.dll"},
                                                       {3, "hex.dll"},
                                                       {4, "one.dll"},
                                                       {5, "TAB.dll"},
                                                       {6, ""},
                                                       {7, ""}}));
    EXPECT_EQ(sums.digests.size(), 1u);
    EXPECT_TRUE(sums.digests.contains("good.dll"));
}

TEST(Sha256Sums, DuplicateNamesAgreeOrVouchForNothing) {
    const Sha256Sums sums = ParseSha256Sums(kHexA + "  same.dll\n" + kHexA + " *same.dll\n" + kHexA +
                                            "  two.dll\n" + kHexE + "  two.dll\n" + kHexA + "  two.dll\n");
    EXPECT_EQ(sums.digests.size(), 1u);
    EXPECT_EQ(sums.digests.at("same.dll"), DigestOf(kHexA));
    EXPECT_EQ(sums.badLines, (std::vector<BadSumsLine>{{4, "two.dll"}, {5, "two.dll"}}));
}

TEST(Sha256Sums, AGoodLineDoesNotOutweighABadOneForTheSameFile) {
    const Sha256Sums sums = ParseSha256Sums("xyz  a.dll\n" + kHexA + "  a.dll\n");
    EXPECT_TRUE(sums.digests.empty());
    EXPECT_EQ(sums.badLines, (std::vector<BadSumsLine>{{1, "a.dll"}}));
}

TEST(Sha256Sums, ByteOrderMarkAndEmptyFile) {
    EXPECT_EQ(ParseSha256Sums("\xEF\xBB\xBF" + kHexA + "  a.dll\n").digests.size(), 1u);
    const Sha256Sums empty = ParseSha256Sums("");
    EXPECT_TRUE(empty.digests.empty());
    EXPECT_TRUE(empty.badLines.empty());
}

} // namespace
} // namespace zunor
