#include "app/command_line.h"

#include <gtest/gtest.h>

using zunor::ArgumentsOf;
using zunor::IsHttpsOrigin;
using zunor::ParseCommandLine;

TEST(CommandLine, NoArgumentsMeansTheWindowWithDefaults) {
    auto r = ParseCommandLine(L"");
    ASSERT_TRUE(r.options);
    EXPECT_FALSE(r.options->silent);
    EXPECT_FALSE(r.options->server);
    EXPECT_FALSE(r.options->location);
    EXPECT_EQ(r.options->connections, 4u);
}

TEST(CommandLine, SwitchesAreCaseInsensitive) {
    auto r = ParseCommandLine(L"/s /nodesktop /NoGroup /Launch /server=https://example.test:8443 /log=C:\\x.log /Repair");
    ASSERT_TRUE(r.options) << std::string(r.error.begin(), r.error.end());
    EXPECT_TRUE(r.options->silent);
    EXPECT_TRUE(r.options->repair);
    EXPECT_FALSE(ParseCommandLine(L"/S").options->repair);
    EXPECT_TRUE(r.options->noDesktop);
    EXPECT_TRUE(r.options->noGroup);
    EXPECT_TRUE(r.options->launch);
    EXPECT_EQ(*r.options->server, L"https://example.test:8443");
    EXPECT_EQ(*r.options->logFile, L"C:\\x.log");
    EXPECT_EQ(ParseCommandLine(L"/connections=1").options->connections, 1u);
    EXPECT_EQ(ParseCommandLine(L"/S /CONNECTIONS=8").options->connections, 8u);
}

TEST(CommandLine, LocationTakesTheRestOfTheLineWithSpacesAndFinalBackslash) {
    auto r = ParseCommandLine(L"/S /D=C:\\Program Files\\Brantovik\\");
    ASSERT_TRUE(r.options);
    EXPECT_EQ(*r.options->location, L"C:\\Program Files\\Brantovik\\");
    r = ParseCommandLine(L"/D=\"D:\\Moji programi\\Zunor\\\"  ");
    ASSERT_TRUE(r.options);
    EXPECT_EQ(*r.options->location, L"D:\\Moji programi\\Zunor\\");
    // Quoted whole, as a program passing one argument writes it: the doubled final backslash is one.
    r = ParseCommandLine(L"/S \"/D=C:\\Moji programi\\Zunor 2021\\\\\"");
    ASSERT_TRUE(r.options);
    EXPECT_EQ(*r.options->location, L"C:\\Moji programi\\Zunor 2021\\");
    r = ParseCommandLine(L"\"/d=C:\\Moji programi\"");
    ASSERT_TRUE(r.options);
    EXPECT_EQ(*r.options->location, L"C:\\Moji programi");
    // Anything after /D= belongs to the location, even text that looks like a switch.
    r = ParseCommandLine(L"/D=C:\\a /S");
    ASSERT_TRUE(r.options);
    EXPECT_FALSE(r.options->silent);
    EXPECT_EQ(*r.options->location, L"C:\\a /S");
}

TEST(CommandLine, ListTakesTheServerLocationAndLog) {
    auto r = ParseCommandLine(L"/list /SERVER=https://localhost:18443 /LOG=C:\\p.log /D=C:\\Moji programi\\");
    ASSERT_TRUE(r.options);
    EXPECT_TRUE(r.options->list);
    EXPECT_FALSE(r.options->silent);
    EXPECT_EQ(*r.options->server, L"https://localhost:18443");
    EXPECT_EQ(*ParseCommandLine(L"/S /SERVER=https://a;https://b.example:8443").options->server,
              L"https://a;https://b.example:8443"); // mirrors, in order
    EXPECT_EQ(*r.options->logFile, L"C:\\p.log");
    EXPECT_EQ(*r.options->location, L"C:\\Moji programi\\");
    EXPECT_FALSE(ParseCommandLine(L"/S").options->list);
    r = ParseCommandLine(L"/LIST=1");
    EXPECT_FALSE(r.options);
    EXPECT_EQ(r.error, L"Neispravna vrednost: /LIST=1");
    EXPECT_EQ(ParseCommandLine(L"/LISTA").error, L"Nepoznat prekidac: /LISTA");
}

TEST(CommandLine, QuotedValuesKeepTheirSpaces) {
    auto r = ParseCommandLine(L"/LOG=\"C:\\moj log\\setup.log\" /S");
    ASSERT_TRUE(r.options);
    EXPECT_EQ(*r.options->logFile, L"C:\\moj log\\setup.log");
    EXPECT_TRUE(r.options->silent);
}

TEST(CommandLine, BadSwitchesAreNamedInTheError) {
    struct Case {
        const wchar_t* line;
        const wchar_t* error;
    } cases[] = {
        {L"/X", L"Nepoznat prekidac: /X"},
        {L"/S /quiet", L"Nepoznat prekidac: /quiet"},
        {L"setup", L"Nepoznat prekidac: setup"},
        {L"/S=1", L"Neispravna vrednost: /S=1"},
        {L"/LOG=", L"Neispravna vrednost: /LOG="},
        {L"/D=", L"Neispravna vrednost: /D="},
        {L"/CONNECTIONS=0", L"Neispravna vrednost: /CONNECTIONS=0"},
        {L"/CONNECTIONS=9", L"Neispravna vrednost: /CONNECTIONS=9"},
        {L"/CONNECTIONS=04", L"Neispravna vrednost: /CONNECTIONS=04"},
        {L"/CONNECTIONS", L"Neispravna vrednost: /CONNECTIONS"},
        {L"/SERVER=http://localhost", L"Neispravna adresa servera: http://localhost (ocekuje se https://server[:port])"},
        {L"/SERVER=https://a;http://b", L"Neispravna adresa servera: https://a;http://b (ocekuje se https://server[:port])"},
        {L"/SERVER=https://a;", L"Neispravna adresa servera: https://a; (ocekuje se https://server[:port])"},
    };
    for (const auto& c : cases) {
        auto r = ParseCommandLine(c.line);
        EXPECT_FALSE(r.options) << c.line;
        EXPECT_EQ(r.error, c.error);
    }
}

TEST(CommandLine, ServerMustBeABareHttpsOrigin) {
    for (const wchar_t* good : {L"https://localhost", L"HTTPS://download.example.com:443", L"https://127.0.0.1:18443",
                                L"https://[::1]:8443"}) {
        EXPECT_TRUE(IsHttpsOrigin(good)) << good;
    }
    for (const wchar_t* bad : {L"http://localhost", L"https://", L"https://host/", L"https://host/path",
                               L"https://host?x=1", L"https://host:0", L"https://host:65536", L"https://host:",
                               L"https://user@host", L"https://host#f", L"ftp://host", L"https://ho st",
                               L"https://host:12a"}) {
        EXPECT_FALSE(IsHttpsOrigin(bad)) << bad;
    }
}

TEST(CommandLine, ProgramNameIsSkippedLikeWindowsDoes) {
    EXPECT_EQ(ArgumentsOf(L"\"C:\\a b\\ZunorSetup.exe\" /S /D=C:\\x\\"), L"/S /D=C:\\x\\");
    EXPECT_EQ(ArgumentsOf(L"ZunorSetup.exe   /S"), L"/S");
    EXPECT_EQ(ArgumentsOf(L"ZunorSetup.exe"), L"");
}

// The line the removal's temporary copy is started with, as the copy in the product's folder writes it.
TEST(CommandLine, UninstallAndTheCopysHandles) {
    auto r = ParseCommandLine(L"/UNINSTALL /S \"/LOG=C:\\a b.log\" /FROMCOPY=156,160 \"/D=C:\\Program Files\\B\\\\\"");
    ASSERT_TRUE(r.options) << std::string(r.error.begin(), r.error.end());
    EXPECT_TRUE(r.options->uninstall);
    EXPECT_TRUE(r.options->silent);
    EXPECT_EQ(*r.options->logFile, L"C:\\a b.log");
    EXPECT_EQ(*r.options->fromCopy, (std::pair<std::uintptr_t, std::uintptr_t>{156, 160}));
    EXPECT_EQ(*r.options->location, L"C:\\Program Files\\B\\");
    for (const wchar_t* bad : {L"/UNINSTALL /LIST", L"/UNINSTALL /REPAIR", L"/REPAIR=1", L"/FROMCOPY=1,2", L"/UNINSTALL /FROMCOPY=1", L"/UNINSTALL=1",
                               L"/UNINSTALL /FROMCOPY=1,x"}) {
        EXPECT_FALSE(ParseCommandLine(bad).options) << std::wstring(bad).size();
    }
}
