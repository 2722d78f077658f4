#pragma once
// What did not succeed in a run, and the message that tells the user.
#include <string>
#include <string_view>
#include <vector>

namespace zunor {

enum class FailureKind {
    NotDownloaded, // name, reason
    BadName,       // the name as listed
    NotRegistered, // name
    Setting,       // path of config.ini
    Layer,         // value name
    Shortcut,      // path of the .lnk
    BadSumsLine,   // SHA256SUMS address, red <N> (a line that names no file)
    Record,        // path of the install record
    Uninstaller,   // path of the setup program's copy
    UninstallEntry, // the entry's registry key
    SharedCount,   // path of the component
    Redirected,    // path of a file or folder whose folder leads elsewhere (a link or junction)
    // Removal.
    NotRemoved,         // path
    RemovedAtRestart,   // path
    NotUnregistered,    // name
    LayerNotRemoved,    // value name
    EntryNotRemoved,    // the entry's registry key
    NotOfInstallation,  // path (or value name) of a record entry no installation makes
};

struct FailedItem {
    FailureKind kind = FailureKind::NotDownloaded;
    std::wstring name;
    std::wstring reason; // NotDownloaded only

    bool operator==(const FailedItem&) const = default;
};

// The report's line for one item.
std::wstring FormatItem(const FailedItem& item);

// The incomplete-installation message (or another header's): the header, an empty line, the first
// items, and how many more.
std::wstring FormatReport(const std::vector<FailedItem>& items, std::wstring_view header);
std::wstring FormatReport(const std::vector<FailedItem>& items);

inline constexpr std::size_t kReportedItemLines = 15;

} // namespace zunor
