// The message that lists what did not succeed.
#include <gtest/gtest.h>

#include "install/run_report.h"

namespace zunor {
namespace {

constexpr wchar_t kHeader[] =
    L"Instalacija programa nije u potpunosti zavrsena.\r\nSledece stavke nisu uspele:\r\n";

TEST(RunReport, ItemLines) {
    EXPECT_EQ(FormatItem({FailureKind::NotDownloaded, L"a.dll", L"server je vratio 404"}),
              L"Nije preuzeto: a.dll (server je vratio 404)");
    EXPECT_EQ(FormatItem({FailureKind::BadName, L"..%5Cx", L""}), L"Preskoceno, neispravan naziv: ..%5Cx");
    EXPECT_EQ(FormatItem({FailureKind::NotRegistered, L"b.ocx", L""}), L"Nije registrovano: b.ocx");
    EXPECT_EQ(FormatItem({FailureKind::Setting, L"C:\\z\\config.ini", L""}),
              L"Nije upisano podesavanje: C:\\z\\config.ini");
    EXPECT_EQ(FormatItem({FailureKind::Layer, L"C:\\z\\updater.exe", L""}),
              L"Nije upisana oznaka kompatibilnosti: C:\\z\\updater.exe");
    EXPECT_EQ(FormatItem({FailureKind::Shortcut, L"C:\\d\\Z.lnk", L""}),
              L"Nije napravljena precica: C:\\d\\Z.lnk");
}

std::vector<FailedItem> Items(int count) {
    std::vector<FailedItem> items;
    for (int i = 1; i <= count; ++i) {
        items.push_back({FailureKind::NotRegistered, std::to_wstring(i) + L".dll", L""});
    }
    return items;
}

std::wstring Lines(int from, int to) {
    std::wstring text;
    for (int i = from; i <= to; ++i) {
        text += L"\r\nNije registrovano: " + std::to_wstring(i) + L".dll";
    }
    return text;
}

TEST(RunReport, ShowsFifteenItemsAndCountsTheRest) {
    EXPECT_EQ(FormatReport(Items(1)), kHeader + Lines(1, 1));
    EXPECT_EQ(FormatReport(Items(15)), kHeader + Lines(1, 15));
    EXPECT_EQ(FormatReport(Items(16)), kHeader + Lines(1, 15) + L"\r\n... i jos 1 stavki.");
    EXPECT_EQ(FormatReport(Items(40)), kHeader + Lines(1, 15) + L"\r\n... i jos 25 stavki.");
}

} // namespace
} // namespace zunor
