// Scraping names out of directory-index pages.
#include <gtest/gtest.h>

#include "install/listed_name.h"
#include "install/listing_parser.h"

namespace zunor {
namespace {

using Names = std::vector<std::string>;

Names Program(std::string_view page) {
    return ParseListing(page, ListingKind::Program);
}

TEST(ListingParser, TakesTheFilesOfAnApacheIndex) {
    const std::string page =
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\n<html>\n <head>\n  <title>Index of "
        "/zunor</title>\n </head>\n <body>\n<h1>Index of /zunor</h1>\n  <table>\n"
        "   <tr><th><a href=\"?C=N;O=D\">Name</a></th><th><a href=\"?C=M;O=A\">Last modified</a></th></tr>\n"
        "<tr><td><a href=\"/\">Parent Directory</a></td></tr>\n"
        "<tr><td><a href=\"SUPORT/\">SUPORT/</a></td></tr>\n"
        "<tr><td><a href=\"TEMPLATE/\">TEMPLATE/</a></td></tr>\n"
        "<tr><td><a href=\"SETUP_ZUNOR.rar\">SETUP_ZUNOR.rar</a></td></tr>\n"
        "<tr><td><a href=\"Zunor2021VK.exe\">Zunor2021VK.exe</a></td><td align=\"right\">2021-03-01 "
        "</td></tr>\n"
        "<tr><td><a href=\"Zunor2021VK.rar\">Zunor2021VK.rar</a></td></tr>\n"
        "<tr><td><a href=\"firme.mdb\">firme.mdb</a></td></tr>\n"
        "<tr><td><a href=\"my%20file&amp;b.txt\">my file&amp;b.txt</a></td></tr>\n"
        "</table>\n</body></html>\n";
    EXPECT_EQ(Program(page), (Names{"Zunor2021VK.exe", "firme.mdb", "my%20file&amp;b.txt"}));
    EXPECT_EQ(
        ParseListing(page, ListingKind::Support),
        (Names{"SETUP_ZUNOR.rar", "Zunor2021VK.exe", "Zunor2021VK.rar", "firme.mdb", "my%20file&amp;b.txt"}));
}

TEST(ListingParser, LinkForms) {
    const struct {
        const char* page;
        Names names;
    } cases[] = {
        {"<a href=\"a.dll\">", {"a.dll"}},
        {"<a href='a.dll'>", {"a.dll"}},
        {"<a HREF=\"a.dll\">", {"a.dll"}}, // the attribute's name in any case (IIS, H2O)
        {"<a Href=\"a.dll\">", {"a.dll"}},
        {"<A HREF=a.dll>", {"a.dll"}},
        {"<a href =\"a.dll\">", {}},
        {"<a HREF =\"a.dll\">", {}},
        {"<a href= \"a.dll\">", {}}, // no target right after the equals sign
        {"<a href=a.dll>", {"a.dll"}},
        {"<a href=a.dll class=x>", {"a.dll"}},
        {"<a href=\"a.dll\" title=\"x\">", {"a.dll"}}, // the quoted value, whatever follows it
        {"<a class=\"f\" href='a b.dll' title=\"it's\">", {"a b.dll"}},
        {"<a href=\"a>b.dll\">", {}},        // the first \">\" closes the tag: the target never ends in it
        {"<a href=\"./a.dll\">", {"a.dll"}}, // the folder's own file
        {"<a href=\"a.dll?v=2\">", {"a.dll?v=2"}}, // a query that does not begin the name stays
        {"<a href=\"?C=N;O=D\">", {}},
        {"<a href=\"/\">", {}},
        {"<a href=\"/zunor/a.dll\">", {}},
        {"<a href=\"SUPORT/\">", {}},
        {"<a href=\"../\">", {}},
        {"<a href=\"a\"><a href=\"b\"><a href=\"a\">", {"a", "b", "a"}},
        {"no links here", {}},
        {"", {}},
        {"href=", {}},
        {"href=\"a.dll\"", {}}, // never closed
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Program(c.page), c.names) << c.page;
    }
}

TEST(ListingParser, NavigationLinksAreNeitherFilesNorFailures) {
    const std::string links[] = {
        ".",         "..",           "./",         "../",       "",
        "#file",     "?C=N;O=D",     "/",          "/zunor/",   "./SUPORT/",
        "SUPORT",    "suport/",      "./Template", "TEMPLATE/", "https://caddyserver.com",
        "http://x/", "mailto:a@b.c", "ftp:x",      "a+b.c-d:e", "./#top"};
    std::string page;
    for (const std::string& link : links) {
        page += "<a href=\"" + link + "\">x</a><use xlink:href=\"#file\"></use>\n";
    }
    // What is left for the name rules, which refuse and report every one of them.
    const Names unsafe{"C:x", "c:\\x", "%2E%2E", ".%2E", "../x", "./../x", "a/b", "\\\\srv\\s", "a\x01b"};
    for (const std::string& name : unsafe) {
        page += "<a href=\"" + name + "\">x</a>\n";
    }
    std::vector<std::string> navigation;
    Names expectedUnsafe = unsafe;
    expectedUnsafe[5] = "../x"; // "./" names the folder itself
    EXPECT_EQ(ParseListing(page, ListingKind::Program, &navigation), expectedUnsafe);
    for (const std::string& name : expectedUnsafe) {
        EXPECT_FALSE(DecodeListedName(name, nullptr)) << name;
    }
    ASSERT_EQ(navigation.size(), 2 * std::size(links));
    for (std::size_t i = 0; i < std::size(links); ++i) {
        EXPECT_EQ(navigation[2 * i], links[i]);
        EXPECT_EQ(navigation[2 * i + 1], "#file");
    }
    // Only the program folder has the two sub-folders.
    EXPECT_EQ(ParseListing("<a href=\"SUPORT\"><a href=\"./template\">", ListingKind::Support),
              (Names{"SUPORT", "template"}));
}

// Servers that link their files by absolute path (IIS, Tomcat) or full address: a target into the
// listed folder names the file of its last part, as the page wrote it; everything else leads elsewhere.
TEST(ListingParser, AbsoluteTargetsIntoTheListedFolderNameItsFiles) {
    constexpr std::string_view kOrigin = "https://localhost:8443";
    const struct {
        ListingKind kind;
        const char* target;
        const char* name; // nullptr: navigation
    } cases[] = {
        {ListingKind::Program, "/zunor/a.dll", "a.dll"},
        {ListingKind::Program, "/ZUNOR/A.DLL", "A.DLL"}, // IIS's folders know no case
        {ListingKind::Program, "/%7Aunor/a.dll", "a.dll"},
        {ListingKind::Program, "/zunor/my%20file&amp;b.txt", "my%20file&amp;b.txt"},
        {ListingKind::Program, "&#47;zunor&#47;a.dll", "a.dll"},
        {ListingKind::Program, "&#x2F;zunor&#x2f;a&amp;b.dll", "a&amp;b.dll"},
        {ListingKind::Program, "/zunor/a b.dll", "a b.dll"},
        {ListingKind::Program, "https://localhost:8443/zunor/a.dll", "a.dll"},
        {ListingKind::Program, "HTTPS://LocalHost:8443/zunor/a.dll", "a.dll"},
        {ListingKind::Support, "/zunor/SUPORT/a.dll", "a.dll"},
        {ListingKind::Support, "/zunor/suport/a.dll", "a.dll"},
        {ListingKind::Template, "https://localhost:8443/zunor/TEMPLATE/a.rtf", "a.rtf"},
        // The name rules see what the last part holds, and refuse it.
        {ListingKind::Program, "/zunor/..%2Fx", "..%2Fx"},
        {ListingKind::Program, "/zunor/a.dll?v=2", "a.dll?v=2"},
        // The site, the folder itself, its parent, its sub-folders, other folders.
        {ListingKind::Program, "/", nullptr},
        {ListingKind::Program, "/zunor", nullptr},
        {ListingKind::Program, "/zunor/", nullptr},
        {ListingKind::Program, "&#47;zunor&#47;", nullptr},
        {ListingKind::Program, "/zunor/SUPORT/", nullptr},
        {ListingKind::Program, "/zunor/Template", nullptr},
        {ListingKind::Program, "/zunor/SUPORT/a.dll", nullptr},
        {ListingKind::Program, "/zunor/x/a.dll", nullptr},
        {ListingKind::Program, "/zunor/./a.dll", nullptr},
        {ListingKind::Program, "/other/a.dll", nullptr},
        {ListingKind::Program, "/zunor/?C=N;O=D", nullptr},
        {ListingKind::Program, "/zunor/..", nullptr},
        {ListingKind::Program, "/zunor/#top", nullptr},
        {ListingKind::Support, "/zunor/a.dll", nullptr},
        {ListingKind::Support, "/zunor/SUPORT/TEMPLATE/a.dll", nullptr},
        // Other origins: another port, host or scheme, credentials, no scheme at all.
        {ListingKind::Program, "https://localhost/zunor/a.dll", nullptr},
        {ListingKind::Program, "https://localhost:8444/zunor/a.dll", nullptr},
        {ListingKind::Program, "https://example.com:8443/zunor/a.dll", nullptr},
        {ListingKind::Program, "http://localhost:8443/zunor/a.dll", nullptr},
        {ListingKind::Program, "https://u@localhost:8443/zunor/a.dll", nullptr},
        {ListingKind::Program, "https://localhost:8443", nullptr},
        {ListingKind::Program, "https:/zunor/a.dll", nullptr},
        {ListingKind::Program, "//localhost:8443/zunor/a.dll", nullptr},
    };
    for (const auto& c : cases) {
        const std::string page = std::string("<A HREF=\"") + c.target + "\">x</A>";
        std::vector<std::string> navigation;
        const Names names = ParseListing(page, c.kind, &navigation, kOrigin);
        EXPECT_EQ(names, c.name ? Names{c.name} : Names{}) << c.target;
        EXPECT_EQ(navigation, c.name ? Names{} : Names{c.target}) << c.target;
        // Without the page's origin, no absolute target is placed.
        EXPECT_EQ(ParseListing(page, c.kind), Names{}) << c.target;
    }
    // The default port is no port; the archives stay out; a blank is escaped in the request.
    EXPECT_EQ(ParseListing("<a href=\"https://srv:443/zunor/a.dll\">", ListingKind::Program, nullptr,
                           "https://SRV"),
              Names{"a.dll"});
    EXPECT_EQ(ParseListing("<a href=\"/zunor/SETUP_ZUNOR.rar\"><a href=\"/zunor/Zunor2021VK.rar\">",
                           ListingKind::Program, nullptr, kOrigin),
              Names{});
    const auto blank = DecodeListedName("a b.dll", nullptr);
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->urlName, L"a%20b.dll");
    // The name, not the whole address, is held to the longest name.
    const std::string name93(93, 'n');
    const std::string name94(94, 'm');
    const std::string base = std::string(kOrigin) + "/zunor/TEMPLATE/";
    EXPECT_EQ(ParseListing("<a href=\"" + base + name93 + "\"><a href=\"" + base + name94 + "\">",
                           ListingKind::Template, nullptr, kOrigin),
              Names{name93});
}

// Character references are read before a target is placed: a relative target that is written as a
// sort link, a folder or the parent leads elsewhere too.
TEST(ListingParser, RelativeTargetsAreReadWithTheirReferencesDecoded) {
    std::vector<std::string> navigation;
    EXPECT_EQ(
        ParseListing("<a href=\"&#63;C=N\"><a href=\"SUPORT&#47;\"><a href=\"&#46;&#46;\">"
                     "<a href=\"&#46;/a.dll\"><a href=\"a&#47;b\"><a href=\"a&#0;b\"><a href=\"x&amp;y\">",
                     ListingKind::Support, &navigation),
        (Names{"a.dll", "a&#47;b", "a&#0;b", "x&amp;y"}));
    EXPECT_EQ(navigation, (Names{"&#63;C=N", "SUPORT&#47;", "&#46;&#46;"}));
    EXPECT_FALSE(DecodeListedName("a&#47;b", nullptr));
    EXPECT_FALSE(DecodeListedName("a&#0;b", nullptr));
}

TEST(ListingParser, ArchivesAreSkippedInTheProgramListingOnly) {
    const std::string page = "<a href=\"x\"><a href=\"SETUP_ZUNOR.rar\"><a href=\"Zunor2021VK.rar\">"
                             "<a href=\"setup_zunor.rar\"><a href=\"y\">";
    EXPECT_EQ(Program(page), (Names{"x", "setup_zunor.rar", "y"}));
    EXPECT_EQ(Program("<a href=\"./SETUP_ZUNOR.rar\"><a href=\"./y\">"), Names{"y"});
    const Names all{"x", "SETUP_ZUNOR.rar", "Zunor2021VK.rar", "setup_zunor.rar", "y"};
    EXPECT_EQ(ParseListing(page, ListingKind::Support), all);
    EXPECT_EQ(ParseListing(page, ListingKind::Template), all);
}

TEST(ListingParser, CloseMustBeWithinAHundredCharactersOfTheLink) {
    const std::string name93(93, 'n');
    const std::string name94(94, 'm');
    EXPECT_EQ(Program("<a href=\"" + name93 + "\">"), Names{name93});
    EXPECT_EQ(Program("<a href=\"" + name94 + "\"><a href=\"next\">"), Names{"next"});
}

TEST(ListingParser, LinesEndAtCrLfOrCrLf) {
    using Lines = std::vector<std::string_view>;
    EXPECT_EQ(LinesToScan("a\nb\rc\r\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(LinesToScan("a\r\n"), Lines{"a"}); // the closing line end adds no line
    EXPECT_EQ(LinesToScan("a\n\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(LinesToScan("a\r\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(LinesToScan("\n\r"), (Lines{"", ""}));
    EXPECT_EQ(LinesToScan(""), Lines{});
}

TEST(ListingParser, EveryLineIsScanned) {
    const struct {
        const char* page;
        Names names;
    } cases[] = {
        {"<a href=\"a\">\n<a href=\"b\">\n", {"a", "b"}},
        {"<a href=\"a\">\r<a href=\"b\">", {"a", "b"}},
        {"<a href=\"a\">\r\n<a href=\"b\">\r\n", {"a", "b"}},
        {"<a href=\"a\">\r\n<a href=\"b\">\r\nno link\r\n</html>", {"a", "b"}},
        {"<a href=\"a\">\r\r", {"a"}},
        {"<a href=\"a\">\r\n\n<a href=\"b\"><a href=\"c\">", {"a", "b", "c"}},
        {"<a href=\"a\r\">", {}}, // a link never spans lines
        {"<a href=\"a\n\">", {}},
        {"<a href=\"a\">x\r\n\">", {"a"}},
        {"\r\n", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Program(c.page), c.names) << testing::PrintToString(std::string(c.page));
    }
}

TEST(ListingParser, CloseBeyondTheLineEndIsNotSought) {
    // The ">" on the next line would be within reach; it belongs to another line.
    EXPECT_EQ(Program("<a href=\"a.dll\"\n><a href=\"b.dll\">"), Names{"b.dll"});
}

TEST(ListingParser, CloseTooNearIsSkippedAndTheScanGoesOn) {
    EXPECT_EQ(Program("<a href=><a href=\"a\">"), Names{"a"});
    EXPECT_EQ(Program("<a href=\"><a href=\"b\">"), Names{"b"});
    EXPECT_EQ(Program("href=>href=\">href=\"\">href=\"c\">"), Names{"c"});
}

TEST(ListingParser, EmptyNameIsNotStoredAndDoesNotEndTheList) {
    EXPECT_EQ(Program("<a href=\"a\"><a href=\"\"><a href=''><a href=\"b\">"), (Names{"a", "b"}));
}

TEST(ListingParser, LinkInsideAConsumedStretchIsNotExamined) {
    EXPECT_EQ(Program("<a href=\"a href=\"b\">"), Names{"a href="});
}

TEST(ListingParser, KeepsEveryName) {
    std::string page;
    Names expected;
    for (int i = 0; i < 5000; ++i) {
        expected.push_back("file" + std::to_string(i) + ".dat");
        page += "<a href=\"" + expected.back() + "\">x</a>\n";
    }
    EXPECT_EQ(Program(page), expected);
}

TEST(ListingParser, BytesAreTakenAsTheyStand) {
    const std::string page = std::string("<a href=\"\xC4\x8D\x00z\xFF\">", 16);
    EXPECT_EQ(Program(page), Names{std::string("\xC4\x8D\x00z\xFF", 5)});
}

} // namespace
} // namespace zunor
