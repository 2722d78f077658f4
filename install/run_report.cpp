#include "install/run_report.h"

#include "common/texts.h"

namespace zunor {
namespace {

const wchar_t* Prefix(FailureKind kind) {
    switch (kind) {
    case FailureKind::NotDownloaded:
        return texts::kItemNotDownloaded;
    case FailureKind::BadName:
        return texts::kItemBadName;
    case FailureKind::NotRegistered:
        return texts::kItemNotRegistered;
    case FailureKind::Setting:
        return texts::kItemSetting;
    case FailureKind::Layer:
        return texts::kItemLayer;
    case FailureKind::Shortcut:
        return texts::kItemShortcut;
    case FailureKind::BadSumsLine:
        return texts::kItemBadSumsLine;
    case FailureKind::Record:
        return texts::kItemRecord;
    case FailureKind::Uninstaller:
        return texts::kItemUninstaller;
    case FailureKind::UninstallEntry:
        return texts::kItemUninstallEntry;
    case FailureKind::SharedCount:
        return texts::kItemSharedCount;
    case FailureKind::Redirected:
        return texts::kItemRedirected;
    case FailureKind::NotRemoved:
        return texts::kItemNotRemoved;
    case FailureKind::RemovedAtRestart:
        return texts::kItemRemovedAtRestart;
    case FailureKind::NotUnregistered:
        return texts::kItemNotUnregistered;
    case FailureKind::LayerNotRemoved:
        return texts::kItemLayerNotRemoved;
    case FailureKind::EntryNotRemoved:
        return texts::kItemEntryNotRemoved;
    case FailureKind::NotOfInstallation:
        return texts::kItemNotOfInstallation;
    }
    return texts::kItemNotDownloaded;
}

} // namespace

std::wstring FormatItem(const FailedItem& item) {
    std::wstring line = Prefix(item.kind) + item.name;
    if (item.kind == FailureKind::NotDownloaded) {
        line += L" (" + item.reason + L")";
    }
    return line;
}

std::wstring FormatReport(const std::vector<FailedItem>& items) {
    return FormatReport(items, texts::kIncompleteHeader);
}

std::wstring FormatReport(const std::vector<FailedItem>& items, std::wstring_view header) {
    constexpr wchar_t kLineEnd[] = L"\r\n";
    std::wstring text(header);
    text += kLineEnd; // the empty line under the header
    const std::size_t shown = std::min(items.size(), kReportedItemLines);
    for (std::size_t i = 0; i < shown; ++i) {
        text += kLineEnd + FormatItem(items[i]);
    }
    if (items.size() > shown) {
        text += kLineEnd;
        text += texts::kMoreItemsPrefix + std::to_wstring(items.size() - shown) + texts::kMoreItemsSuffix;
    }
    return text;
}

} // namespace zunor
