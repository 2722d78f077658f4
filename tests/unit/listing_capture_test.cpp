// The parser against index pages that real servers made of one folder tree (captured by
// tools/listings/capture.sh): each server's own link forms, line ends and order. IIS's pages are
// written by hand in the form its directory browsing documents (one <pre> line, absolute links in
// capitals, "&lt;dir&gt;" folders), since it runs on Windows only.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "install/listed_name.h"
#include "install/listing_parser.h"

namespace zunor {
namespace {

using Names = std::vector<std::string>;

std::string Page(const std::string& server, const std::string& folder) {
    const std::string path = std::string(ZUNOR_LISTINGS_DIR) + "/" + server + "/" + folder + ".html";
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "missing captured page " << path;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* const kServers[] = {"apache-fancy", "apache-plain", "nginx", "python-http-server",
                                "caddy",        "mini-httpd",   "webfs", "h2o",
                                "tomcat",       "iis"};

// Where the pages came from, as the installer knows it.
constexpr std::string_view kOrigin = "https://localhost:8443";

Names Parse(const std::string& server, const std::string& folder, ListingKind kind,
            Names* navigation = nullptr) {
    return ParseListing(Page(server, folder), kind, navigation, kOrigin);
}

TEST(CapturedListings, ProgramFolderOfEachServer) {
    const std::string longName = "Zunor_kontni_plan_za_preduzetnike_i_pravna_lica_2021_verzija.dat";
    const Names apache{"%c4%8dvor.dat", "SHA256SUMS",          "Zunor2021VK.exe", longName,
                       "firme.mdb",     "my%20file&amp;b.txt", "updater.exe"};
    EXPECT_EQ(ParseListing(Page("apache-fancy", "zunor"), ListingKind::Program), apache);
    EXPECT_EQ(ParseListing(Page("apache-plain", "zunor"), ListingKind::Program), apache);
    EXPECT_EQ(ParseListing(Page("nginx", "zunor"), ListingKind::Program),
              (Names{"SHA256SUMS", "Zunor2021VK.exe", longName, "firme.mdb", "my%20file%26b.txt",
                     "updater.exe", "%C4%8Dvor.dat"}));
    EXPECT_EQ(ParseListing(Page("caddy", "zunor"), ListingKind::Program),
              (Names{"firme.mdb", "my%20file&amp;b.txt", "SHA256SUMS", "updater.exe", "Zunor2021VK.exe",
                     longName, "%C4%8Dvor.dat"}));
    EXPECT_EQ(ParseListing(Page("python-http-server", "zunor"), ListingKind::Program),
              (Names{"firme.mdb", "my%20file%26b.txt", "SHA256SUMS", "updater.exe", "Zunor2021VK.exe",
                     longName, "%C4%8Dvor.dat"}));
    // <A HREF="name">
    EXPECT_EQ(Parse("h2o", "zunor", ListingKind::Program),
              (Names{"SHA256SUMS", "Zunor2021VK.exe", longName, "firme.mdb", "my%20file&amp;b.txt",
                     "updater.exe", "%C4%8Dvor.dat"}));
    // <a href="/zunor/name">, in the order of the folder on disk, "&" as it stands.
    EXPECT_EQ(Parse("tomcat", "zunor", ListingKind::Program),
              (Names{"my%20file&b.txt", "firme.mdb", "Zunor2021VK.exe", "%C4%8Dvor.dat", "SHA256SUMS",
                     "updater.exe", longName}));
    // <A HREF="/zunor/name">, all on one line.
    EXPECT_EQ(Parse("iis", "zunor", ListingKind::Program),
              (Names{"firme.mdb", "my%20file&amp;b.txt", "SHA256SUMS", "updater.exe", "Zunor2021VK.exe",
                     longName, "%C4%8Dvor.dat"}));
    // Absolute links are placed only with the page's origin known; the other servers' pages give
    // the same names either way.
    EXPECT_EQ(ParseListing(Page("tomcat", "zunor"), ListingKind::Program), Names{});
    EXPECT_EQ(ParseListing(Page("iis", "zunor"), ListingKind::Program), Names{});
    EXPECT_EQ(Parse("apache-fancy", "zunor", ListingKind::Program), apache);
}

// Every link of the program folder's page that is not a file: none is fetched, none is a failure.
TEST(CapturedListings, NavigationLinksOfEachServer) {
    const struct {
        const char* server;
        Names navigation;
    } cases[] = {
        {"apache-fancy", {"?C=N;O=D", "?C=M;O=A", "?C=S;O=A", "?C=D;O=A", "/", "SUPORT/", "TEMPLATE/"}},
        {"nginx", {"../", "SUPORT/", "TEMPLATE/"}},
        {"python-http-server", {"SUPORT/", "TEMPLATE/"}},
        // Icons are drawn from fragments; the parent twice; the folder itself as ""; Caddy's site.
        {"caddy",
         [] {
             Names links{"../",
                         "",
                         "#up-arrow",
                         "?sort=name&order=asc",
                         "?sort=size&order=asc",
                         "?sort=time&order=asc",
                         "..",
                         "./SUPORT/",
                         "#folder",
                         "./TEMPLATE/",
                         "#folder"};
             links.insert(links.end(), 9, "#file");
             links.push_back("https://caddyserver.com");
             return links;
         }()},
        {"mini-httpd", {".", "..", "SUPORT", "TEMPLATE", "http://www.acme.com/software/mini_httpd/"}},
        {"webfs", {"/", "/zunor/", "../", "SUPORT/", "TEMPLATE/", "http://bytesex.org/webfs.html"}},
        {"h2o", {"..", "SUPORT", "TEMPLATE"}},
        {"tomcat", {"/", "/zunor/SUPORT/", "/zunor/TEMPLATE/"}},
        {"iis", {"/", "/zunor/SUPORT/", "/zunor/TEMPLATE/"}},
    };
    for (const auto& c : cases) {
        Names navigation;
        Parse(c.server, "zunor", ListingKind::Program, &navigation);
        EXPECT_EQ(navigation, c.navigation) << c.server;
    }
    // The sub-folders' parent, the program folder, is no file of theirs.
    for (const char* server : {"tomcat", "iis"}) {
        Names navigation;
        Parse(server, "SUPORT", ListingKind::Support, &navigation);
        EXPECT_EQ(navigation, Names{"/zunor/"}) << server;
    }
}

TEST(CapturedListings, NginxPageHasCrLfLinesAndEveryOneIsRead) {
    const std::string page = Page("nginx", "zunor");
    EXPECT_GT(std::count(page.begin(), page.end(), '\r'), 10);
    EXPECT_TRUE(page.ends_with("</html>\r\n")); // the last line alone holds no link
    EXPECT_EQ(ParseListing(Page("nginx", "SUPORT"), ListingKind::Support),
              (Names{"ZunorCalc.dll", "ZunorGrid.ocx", "ZunorPrint.dll"}));
}

TEST(CapturedListings, EveryServerGivesTheSameFilesInEveryFolder) {
    const struct {
        const char* folder;
        ListingKind kind;
        Names files;
    } folders[] = {
        {"zunor",
         ListingKind::Program,
         {"SHA256SUMS", "Zunor2021VK.exe", "Zunor_kontni_plan_za_preduzetnike_i_pravna_lica_2021_verzija.dat",
          "firme.mdb", "my file&b.txt", "updater.exe", "\xC4\x8Dvor.dat"}},
        {"SUPORT", ListingKind::Support, {"ZunorCalc.dll", "ZunorGrid.ocx", "ZunorPrint.dll"}},
        {"TEMPLATE", ListingKind::Template, {"Faktura.rtf", "Izvod.txt", "Kontni_plan.csv"}},
    };
    for (const char* server : kServers) {
        for (const auto& folder : folders) {
            Names decoded;
            for (const std::string& raw : Parse(server, folder.folder, folder.kind)) {
                const auto name = DecodeListedName(raw, nullptr);
                ASSERT_TRUE(name) << server << ": " << raw;
                std::string utf8; // the wide name back in UTF-8, to compare with the tree's bytes
                for (const wchar_t c : name->fileName) {
                    if (c < 0x80) {
                        utf8 += static_cast<char>(c);
                    } else {
                        utf8 += static_cast<char>(0xC0 | (c >> 6));
                        utf8 += static_cast<char>(0x80 | (c & 0x3F));
                    }
                }
                decoded.push_back(utf8);
            }
            std::sort(decoded.begin(), decoded.end());
            Names expected = folder.files;
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(decoded, expected) << server << " " << folder.folder;
        }
    }
}

} // namespace
} // namespace zunor
