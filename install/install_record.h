#pragma once
// What installations placed on this computer, kept beside the program (a UTF-8 text file) so that the
// product can be removed again: every file with its size, the support components whose shared count
// it holds, the shortcuts, the settings file, the compatibility marks and the folders it made. An
// update merges its own record into the one already there, so the record covers every run.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_ports.h"

namespace zunor {

enum class RecordKind {
    Folder,      // made by an installation; removed when empty
    File,        // program file, template, listing page: removed
    Data,        // the user's database: placed once, never removed
    Component,   // support component in the system folder; the record holds one shared count of it
    Shortcut,    // a .lnk
    Setting,     // the settings file
    Layer,       // a compatibility mark (a value name under the user's Layers key)
    Uninstaller, // the copy of the setup program that removes the product
};

struct RecordEntry {
    RecordKind kind = RecordKind::File;
    std::wstring path;       // a full path; for Layer the value name
    std::uint64_t size = 0;  // bytes, for what lies on disk

    bool operator==(const RecordEntry&) const = default;
};

struct InstallRecord {
    std::vector<RecordEntry> entries;  // in the order they were first placed

    // Adds an entry, or updates the size of the one of that kind and path (paths compare case-blind).
    void Add(RecordKind kind, std::wstring path, std::uint64_t size = 0);
    bool Has(RecordKind kind, std::wstring_view path) const;
    std::vector<RecordEntry> Of(RecordKind kind) const;
    // Every entry of `later` added to this one, in its order.
    void Merge(const InstallRecord& later);
    std::uint64_t TotalBytes() const;
    bool empty() const { return entries.empty(); }
};

// The file's text and back. Parsing refuses anything it did not write: an unknown first line or kind,
// an empty path, a control character, a size that is not a number, bytes that are not UTF-8.
std::string FormatRecord(const InstallRecord& record);
std::optional<InstallRecord> ParseRecord(std::string_view text);

// The seal of the record's text, as the entry keeps it.
RecordSeal SealOf(std::string_view text);

} // namespace zunor
