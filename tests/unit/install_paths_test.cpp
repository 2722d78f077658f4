// Where the run puts things and fetches them from.
#include <gtest/gtest.h>

#include "install/install_paths.h"

namespace zunor {
namespace {

TEST(InstallPaths, SeparatorIsAddedOnlyWhereMissing) {
    EXPECT_EQ(WithSeparator(L"C:\\P\\"), L"C:\\P\\");
    EXPECT_EQ(WithSeparator(L"C:\\P"), L"C:\\P\\");
    EXPECT_EQ(WithSeparator(L"C:/P/"), L"C:/P/");
    EXPECT_EQ(WithSeparator(L""), L"");
    EXPECT_EQ(ProgramFilePath(L"C:\\P", L"a.exe"), L"C:\\P\\zunor2021\\a.exe");
    EXPECT_EQ(TemplateFolderWithSlash(L"C:\\P\\"), L"C:\\P\\zunor2021\\TEMPLATE\\");
    const std::array<std::wstring, 4> layout{L"C:\\P\\", L"C:\\P\\zunor2021", L"C:\\P\\zunor2021\\DATA",
                                             L"C:\\P\\zunor2021\\TEMPLATE"};
    EXPECT_EQ(FolderLayout(L"C:\\P"), layout);
}

TEST(InstallPaths, ServerAddresses) {
    EXPECT_EQ(ListingUrl(L"https://s", ListingKind::Program), L"https://s/zunor");
    EXPECT_EQ(ListingUrl(L"https://s", ListingKind::Support), L"https://s/zunor/SUPORT");
    EXPECT_EQ(FileUrl(L"https://s", ListingKind::Template, L"a%20b"), L"https://s/zunor/TEMPLATE/a%20b");
}

TEST(InstallPaths, DatabaseNameIgnoresCase) {
    for (const wchar_t* name : {L"firme.mdb", L"FIRME.MDB", L"Firme.Mdb"}) {
        EXPECT_TRUE(IsDatabaseName(name)) << name;
    }
    for (const wchar_t* name : {L"firme.mdb.bak", L"firme.md", L"xfirme.mdb", L"firme\u0130.mdb", L""}) {
        EXPECT_FALSE(IsDatabaseName(name));
    }
}

TEST(InstallPaths, PartFileNamesAreTargetDotProcessId) {
    const auto part = ParsePartFileName(L"big.cab.32.zunor-part");
    ASSERT_TRUE(part.has_value());
    EXPECT_EQ(part->target, L"big.cab");
    EXPECT_EQ(part->processId, 32u);
    for (const wchar_t* name : {L"big.cab.zunor-part", L".32.zunor-part", L"big.cab.3x.zunor-part",
                                L"big.cab.32.zunor-part.txt", L"big.cab.1234567890.zunor-part", L"big.cab..zunor-part"}) {
        EXPECT_FALSE(ParsePartFileName(name).has_value()) << name;
    }
}

} // namespace
} // namespace zunor
