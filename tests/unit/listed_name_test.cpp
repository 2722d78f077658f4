// Decoding and checking names that come from a listing page.
#include <gtest/gtest.h>

#include "install/listed_name.h"
#include "common/texts.h"
#include "install/utf8_text.h"

namespace zunor {
namespace {

TEST(ListedName, DecodesForTheUrlAndForTheFile) {
    const struct {
        const char* raw;
        const wchar_t* url;
        const wchar_t* file;
    } cases[] = {
        {"plain.dll", L"plain.dll", L"plain.dll"},
        {"my%20file&amp;b.txt", L"my%20file&b.txt", L"my file&b.txt"},
        {"a%20b.dll", L"a%20b.dll", L"a b.dll"},
        {"%C4%8Dvor.doc", L"%C4%8Dvor.doc", L"\u010Dvor.doc"},
        {"\xC4\x8Dvor.doc", L"%C4%8Dvor.doc", L"\u010Dvor.doc"}, // raw UTF-8 bytes
        {"a b.txt", L"a%20b.txt", L"a b.txt"},
        {"it&#39;s&apos;.txt", L"it's'.txt", L"it's'.txt"},
        {"&#x41;&#66;.txt", L"AB.txt", L"AB.txt"},
        {"&#x10437;.txt", L"%F0%90%90%B7.txt", L"\U00010437.txt"},
        {"100%.txt", L"100%25.txt", L"100%.txt"},
        {"100%25.txt", L"100%25.txt", L"100%.txt"},
        {"%7e~x.txt", L"%7e~x.txt", L"~~x.txt"},
        {"a&b;c.txt", L"a&b;c.txt", L"a&b;c.txt"}, // not a reference: stays as written
        {"[1]{2}^`.txt", L"%5B1%5D%7B2%7D%5E%60.txt", L"[1]{2}^`.txt"},
        {"COM10", L"COM10", L"COM10"},
        {"LPT0.txt", L"LPT0.txt", L"LPT0.txt"},
        {"console.log", L"console.log", L"console.log"},
        {"nul_x.txt", L"nul_x.txt", L"nul_x.txt"},
        {".hidden", L".hidden", L".hidden"},
    };
    for (const auto& c : cases) {
        std::wstring why;
        const auto name = DecodeListedName(c.raw, &why);
        ASSERT_TRUE(name.has_value()) << c.raw;
        EXPECT_EQ(name->raw, c.raw);
        EXPECT_EQ(name->urlName, c.url) << c.raw;
        EXPECT_EQ(name->fileName, c.file) << c.raw;
        EXPECT_TRUE(why.empty());
    }
}

TEST(ListedName, RefusesWhatIsNotAPlainFileName) {
    const struct {
        const char* raw;
        const wchar_t* why;
    } cases[] = {
        {".", texts::kRefusedNotOneSegment},
        {"..", texts::kRefusedNotOneSegment},
        {"%2E%2E", texts::kRefusedNotOneSegment},
        {"..\\x", texts::kRefusedBadCharacter},
        {"..%5Cx", texts::kRefusedBadCharacter},
        {"sub/x", texts::kRefusedNotOneSegment},
        {"sub%2Fx", texts::kRefusedBadCharacter},
        {"a&#47;b", texts::kRefusedNotOneSegment},
        {"a?b", texts::kRefusedNotOneSegment},
        {"a#b", texts::kRefusedNotOneSegment},
        {"C:x", texts::kRefusedBadCharacter},
        {"x%3A%24DATA", texts::kRefusedBadCharacter},
        {"a%00b", texts::kRefusedBadCharacter},
        {"a\x01", texts::kRefusedBadCharacter},
        {"a%1F", texts::kRefusedBadCharacter},
        {"a%7F", texts::kRefusedBadCharacter},
        {"a*b", texts::kRefusedBadCharacter},
        {"a&quot;b", texts::kRefusedBadCharacter},
        {"&lt;a&gt;", texts::kRefusedBadCharacter},
        {"a%7Cb", texts::kRefusedBadCharacter},
        {"CON", texts::kRefusedDeviceName},
        {"con", texts::kRefusedDeviceName},
        {"nul.txt", texts::kRefusedDeviceName},
        {"con.tar.gz", texts::kRefusedDeviceName},
        {"Aux.dll", texts::kRefusedDeviceName},
        {"prn", texts::kRefusedDeviceName},
        {"COM1", texts::kRefusedDeviceName},
        {"lpt9.log", texts::kRefusedDeviceName},
        {"CONIN$", texts::kRefusedDeviceName},
        {"conout$.txt", texts::kRefusedDeviceName},
        {"nul%20.txt", texts::kRefusedDeviceName},
        {"COM%C2%B9", texts::kRefusedDeviceName},
        {"x.", texts::kRefusedTrailingDotOrSpace},
        {"x%20", texts::kRefusedTrailingDotOrSpace},
        {"x ", texts::kRefusedTrailingDotOrSpace},
        {"%C3%28.dll", texts::kRefusedBadUtf8},
        {"\xC3\x28.dll", texts::kRefusedBadUtf8},
        {"%ED%A0%80.dll", texts::kRefusedBadUtf8}, // a surrogate
        {"%C0%AF.dll", texts::kRefusedBadUtf8},    // overlong "/"
        {"%F4%90%80%80", texts::kRefusedBadUtf8},  // above U+10FFFF
        {"%E2%82", texts::kRefusedBadUtf8},        // cut short
        {"&#0;.txt", texts::kRefusedBadReference},
        {"&#xD800;.txt", texts::kRefusedBadReference},
        {"&#x110000;.txt", texts::kRefusedBadReference},
        {"&#xZZ;.txt", texts::kRefusedBadReference},
        {"", texts::kRefusedEmpty},
    };
    for (const auto& c : cases) {
        std::wstring why;
        EXPECT_FALSE(DecodeListedName(c.raw, &why).has_value()) << c.raw;
        EXPECT_EQ(why, c.why) << c.raw;
        EXPECT_FALSE(DecodeListedName(c.raw, nullptr).has_value()) << c.raw;
    }
}

TEST(ListedName, UrlNameIsAsciiOfOneSegment) {
    const auto name = DecodeListedName("\xE2\x82\xAC \"'<>\\^|.txt", nullptr);
    EXPECT_FALSE(name.has_value()); // the quote and the rest cannot be in a file name
    const auto euro = DecodeListedName("\xE2\x82\xAC 1.txt", nullptr);
    ASSERT_TRUE(euro.has_value());
    EXPECT_EQ(euro->urlName, L"%E2%82%AC%201.txt");
}

// An install location follows the same rules for each of its names, below a drive or a share.
TEST(Location, FullPathsSplitIntoRootAndNames) {
    const struct {
        const wchar_t* location;
        const wchar_t* root;
        std::vector<std::wstring> names;
    } cases[] = {
        {L"C:\\Program Files\\Brantovik\\", L"C:", {L"Program Files", L"Brantovik"}},
        {L"d:/Programi/Zunor", L"d:", {L"Programi", L"Zunor"}},
        {L"C:\\", L"C:", {}},
        {L"C:\\a\\\\b\\", L"C:", {L"a", L"b"}}, // a doubled backslash is one
        {L"\\\\server\\deljeno\\Zunor\\", L"\\\\server\\deljeno", {L"Zunor"}},
        {L"//server/deljeno", L"\\\\server\\deljeno", {}},
        {L"C:\\Ra\u010Dunovodstvo \u017Dika\\", L"C:", {L"Ra\u010Dunovodstvo \u017Dika"}},
        {L"C:\\ a\\", L"C:", {L" a"}}, // a leading space is part of a name
    };
    for (const auto& c : cases) {
        const auto full = SplitFullPath(c.location);
        ASSERT_TRUE(full.has_value()) << c.location;
        EXPECT_EQ(full->root, c.root);
        EXPECT_EQ(full->names, c.names);
        EXPECT_FALSE(CheckLocation(c.location).has_value());
    }
}

TEST(Location, RefusedWithWhatIsWrong) {
    const struct {
        const wchar_t* location;
        const wchar_t* why;
        const wchar_t* name;
    } cases[] = {
        {L"Programi\\Zunor\\", texts::kLocationNotFull, L""},
        {L"  ", texts::kLocationNotFull, L""},
        {L"\\Programi\\", texts::kLocationNotFull, L""}, // the current drive's root
        {L"C:Programi\\", texts::kLocationNotFull, L""}, // the current folder of drive C
        {L"1:\\x\\", texts::kLocationNotFull, L""},
        {L" C:\\x\\", texts::kLocationNotFull, L""},
        {L"\\\\server\\", texts::kLocationNotFull, L""}, // a server without a share
        {L"\\\\?\\C:\\x\\", texts::kLocationNotFull, L""},
        {L"\\\\.\\C:\\x\\", texts::kLocationNotFull, L""},
        {L"\\\\\\server\\share\\", texts::kLocationNotFull, L""},
        {L"C:\\con\\", texts::kRefusedDeviceName, L"con"},
        {L"C:\\Programi\\LPT1.txt\\", texts::kRefusedDeviceName, L"LPT1.txt"},
        {L"\\\\server\\NUL\\", texts::kRefusedDeviceName, L"NUL"},
        {L"C:\\a.\\", texts::kRefusedTrailingDotOrSpace, L"a."},
        {L"C:\\a \\b\\", texts::kRefusedTrailingDotOrSpace, L"a "},
        {L"C:\\x\\..\\y\\", texts::kRefusedTrailingDotOrSpace, L".."},
        {L"C:\\x\\.\\", texts::kRefusedTrailingDotOrSpace, L"."},
        {L"C:\\x\\ ", texts::kRefusedTrailingDotOrSpace, L" "},
        {L"C:\\a<b\\", texts::kRefusedBadCharacter, L"a<b"},
        {L"C:\\x\\tok:podaci\\", texts::kRefusedBadCharacter, L"tok:podaci"},
        {L"C:\\x\ty\\", texts::kRefusedBadCharacter, L"x\ty"},
        {L"\\\\ser|ver\\share\\", texts::kRefusedBadCharacter, L"ser|ver"},
    };
    for (const auto& c : cases) {
        const auto fault = CheckLocation(c.location);
        ASSERT_TRUE(fault.has_value()) << c.location;
        EXPECT_EQ(std::wstring(fault->why), c.why) << c.location;
        EXPECT_EQ(fault->name, c.name);
    }
}

TEST(Location, MessageNamesThePartAndTheCharacter) {
    const auto message = [](std::wstring_view location) {
        return LocationMessage(location, *CheckLocation(location));
    };
    EXPECT_EQ(message(L"C:\\con\\"), L"Lokacija za instalaciju ne moze da se koristi: C:\\con\\\r\n"
                                     L"Deo putanje \"con\": rezervisan naziv uredjaja.");
    EXPECT_EQ(message(L"C:\\a<b\\"), L"Lokacija za instalaciju ne moze da se koristi: C:\\a<b\\\r\n"
                                     L"Deo putanje \"a<b\": nedozvoljen znak u nazivu (<).");
    EXPECT_EQ(message(L"x\\"), std::wstring(L"Lokacija za instalaciju ne moze da se koristi: x\\\r\n") +
                                   texts::kLocationNotFull);
    EXPECT_TRUE(message(L"C:\\x\ty\\").ends_with(L"\": nedozvoljen znak u nazivu.")); // a tab is not shown
}

TEST(Utf8, SixteenBitTextGetsSurrogatePairs) {
    EXPECT_EQ(DecodeUtf8As<char16_t>("a\xF0\x90\x90\xB7\xC4\x8D"), std::u16string(u"a\U00010437\u010D"));
    EXPECT_EQ(DecodeUtf8As<char16_t>("\xF4\x8F\xBF\xBF"), std::u16string(u"\U0010FFFF"));
    EXPECT_FALSE(DecodeUtf8As<char16_t>("\xED\xB0\x80").has_value()); // a lone low surrogate
}

TEST(DisplayText, ShowsAnyBytesWithoutControlCharacters) {
    EXPECT_EQ(DisplayText("a\xC4\x8D"), L"a\u010D");
    EXPECT_EQ(DisplayText("a\xFF\x01z"), L"a\uFFFD\uFFFDz");
    EXPECT_EQ(DisplayText("\xE2\x82"), L"\uFFFD\uFFFD");
}

} // namespace
} // namespace zunor
