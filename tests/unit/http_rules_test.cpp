// The rules that judge a server's answer before a downloaded body is kept.
#include <gtest/gtest.h>

#include "download/http_rules.h"

namespace {

using modSetup::BodyComplete;
using modSetup::IsHttpsUrl;
using modSetup::LengthRule;
using modSetup::ParseContentLength;

TEST(ContentLength, ReadsPlainDecimalNumbers) {
    EXPECT_EQ(ParseContentLength(L"0"), 0u);
    EXPECT_EQ(ParseContentLength(L"536870912"), 536870912u);
    EXPECT_EQ(ParseContentLength(L" 42\t"), 42u);
    EXPECT_EQ(ParseContentLength(L"18446744073709551615"), 18446744073709551615ull);
}

TEST(ContentLength, RefusesAnythingElse) {
    for (const wchar_t* bad : {L"", L"  ", L"banana", L"12abc", L"-1", L"+5", L"1 2", L"10, 10", L"0x10",
                               L"18446744073709551616", L"99999999999999999999999"})
        EXPECT_FALSE(ParseContentLength(bad)) << bad;
}

TEST(HttpsUrl, OnlyHttpsSchemeCounts) {
    EXPECT_TRUE(IsHttpsUrl(L"https://localhost:8443/zunor"));
    EXPECT_TRUE(IsHttpsUrl(L"HTTPS://example.com/"));
    EXPECT_FALSE(IsHttpsUrl(L"http://localhost/zunor"));
    EXPECT_FALSE(IsHttpsUrl(L"https:/localhost"));
    EXPECT_FALSE(IsHttpsUrl(L"ftp://x"));
    EXPECT_FALSE(IsHttpsUrl(L"https"));
    EXPECT_FALSE(IsHttpsUrl(L""));
    EXPECT_FALSE(IsHttpsUrl(L" https://x"));
}

TEST(BodyCompleteness, DeclaredLengthMustBeMetExactly) {
    for (auto rule : {LengthRule::Required, LengthRule::CheckedIfDeclared}) {
        EXPECT_TRUE(BodyComplete(1000u, 1000u, rule));
        EXPECT_TRUE(BodyComplete(0u, 0u, rule));
        EXPECT_FALSE(BodyComplete(1000u, 999u, rule));
        EXPECT_FALSE(BodyComplete(1000u, 1001u, rule));
    }
}

TEST(BodyCompleteness, UndeclaredLengthOnlyWhereAllowed) {
    EXPECT_FALSE(BodyComplete(std::nullopt, 12345u, LengthRule::Required));
    EXPECT_FALSE(BodyComplete(std::nullopt, 0u, LengthRule::Required));
    EXPECT_TRUE(BodyComplete(std::nullopt, 12345u, LengthRule::CheckedIfDeclared));
}

} // namespace
