// The form in which config.ini and the shortcuts name a path: as it is where the ANSI code page holds
// it, else the short form of an existing folder, else none. The fakes' code page is Windows-1252's.
#include <gtest/gtest.h>

#include "install/ansi_path.h"
#include "tests/unit/run_fakes.h"

namespace zunor::test {
namespace {

constexpr wchar_t kFolder[] = L"C:\\Ra\u010Dunovodstvo \u017Dika"; // "c" with a caron: not in 1252

TEST(AnsiPath, ShortFormOnlyUpToTheLastNameTheCodePageLacks) {
    const struct {
        const wchar_t* path;
        std::set<std::wstring> existing;
        std::map<std::wstring, std::wstring> shortForms;
        const wchar_t* form; // empty: none
        bool shortForm;
    } cases[] = {
        {L"C:\\Program Files\\\u017Dika\\zunor2021",
         {},
         {},
         L"C:\\Program Files\\\u017Dika\\zunor2021",
         false},
        {L"C:\\Ra\u010Dunovodstvo \u017Dika\\zunor2021",
         {kFolder},
         {{kFolder, L"C:\\RA_U~0RV"}},
         L"C:\\RA_U~0RV\\zunor2021",
         true},
        {L"C:\\Ra\u010Dunovodstvo \u017Dika\\Novo\\zunor2021",
         {kFolder},
         {{kFolder, L"C:\\RAUNOV~1"}},
         L"C:\\RAUNOV~1\\Novo\\zunor2021",
         true},
        {L"C:\\\u0107\\x\\\u010D\\zunor2021",
         {L"C:\\\u0107\\x\\\u010D"},
         {{L"C:\\\u0107\\x\\\u010D", L"C:\\_~1\\x\\_~2"}},
         L"C:\\_~1\\x\\_~2\\zunor2021",
         true},
        {L"\\\\server\\\u010D\\zunor2021",
         {L"\\\\server\\\u010D"},
         {{L"\\\\server\\\u010D", L"\\\\server\\A~1"}},
         L"\\\\server\\A~1\\zunor2021",
         true},
        // The folder is yet to be made: its short form cannot be known before.
        {L"C:\\Ra\u010Dunovodstvo \u017Dika\\zunor2021", {}, {}, L"", false},
        // A volume that makes no short names, and one whose short name the code page lacks too.
        {L"C:\\Ra\u010Dunovodstvo \u017Dika\\zunor2021", {kFolder}, {}, L"", false},
        {L"C:\\Ra\u010Dunovodstvo \u017Dika\\zunor2021",
         {kFolder},
         {{kFolder, L"C:\\RA\u010DUN~1"}},
         L"",
         false},
    };
    for (const auto& c : cases) {
        Recorder rec;
        FakeFiles files{rec};
        FakeSystem system{rec};
        files.paths = c.existing;
        files.shortPaths = c.shortForms;
        const AnsiPath form = AnsiFormOf(c.path, files, system);
        EXPECT_EQ(form.path, c.form) << c.path;
        EXPECT_EQ(form.shortForm, c.shortForm) << c.path;
        EXPECT_EQ(form.why.empty(), *c.form != L'\0') << c.path;
        if (!c.shortForm && *c.form != L'\0') {
            EXPECT_TRUE(rec.calls.empty()) << "a path the code page holds needs no look at the disk";
        }
    }
}

TEST(AnsiPath, RefusalNamesTheCharactersAndSuggestsPlainOnes) {
    Recorder rec;
    FakeSystem system{rec};
    EXPECT_EQ(AnsiRefusalMessage(L"C:\\Ra\u010Dunovodstvo \u017Dika\\", system),
              L"Lokacija za instalaciju ne moze da se koristi: C:\\Ra\u010Dunovodstvo \u017Dika\\\r\n"
              L"Podesavanja programa ne mogu tacno da zapisu ove znakove: \u010D\r\n"
              L"Izaberite fasciklu bez njih, na primer: C:\\Racunovodstvo \u017Dika\\");
    const std::wstring several =
        AnsiRefusalMessage(L"C:\\\u0110or\u0111e \u0107\u010D\u0107\\\u4E2D\\", system);
    EXPECT_TRUE(several.ends_with(L"znakove: \u0110 \u0111 \u0107 \u010D \u4E2D\r\n"
                                  L"Izaberite fasciklu bez njih, na primer: C:\\Djordje ccc\\_\\"))
        << several;
    // "Con" with a caron becomes a device name when spelled plainly: no suggestion then.
    EXPECT_TRUE(AnsiRefusalMessage(L"C:\\\u010Con\\", system).ends_with(L"znakove: \u010C"));
}

} // namespace
} // namespace zunor::test
