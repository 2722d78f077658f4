#include "install/install_record.h"

#include <array>
#include <utility>

#include "common/sha256_plain.h"
#include "install/install_paths.h"
#include "install/utf8_text.h"

namespace zunor {
namespace {

constexpr std::string_view kHeader = "Zunor 2021 zapis instalacije 1";

constexpr std::array<std::pair<RecordKind, std::string_view>, 8> kKindNames{{
    {RecordKind::Folder, "folder"},
    {RecordKind::File, "file"},
    {RecordKind::Data, "data"},
    {RecordKind::Component, "component"},
    {RecordKind::Shortcut, "shortcut"},
    {RecordKind::Setting, "setting"},
    {RecordKind::Layer, "layer"},
    {RecordKind::Uninstaller, "uninstaller"},
}};

std::string_view KindName(RecordKind kind) {
    for (const auto& [k, name] : kKindNames) {
        if (k == kind) {
            return name;
        }
    }
    return "file";
}

std::optional<RecordKind> KindOf(std::string_view name) {
    for (const auto& [k, known] : kKindNames) {
        if (known == name) {
            return k;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> Number(std::string_view digits) {
    if (digits.empty() || digits.size() > 19) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::optional<RecordEntry> ParseLine(std::string_view line) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
        return std::nullopt;
    }
    const auto kind = KindOf(line.substr(0, tab));
    std::string_view rest = line.substr(tab + 1);
    std::uint64_t size = 0;
    if (const std::size_t sizeTab = rest.find('\t'); sizeTab != std::string_view::npos) {
        const auto number = Number(rest.substr(sizeTab + 1));
        if (!number) {
            return std::nullopt;
        }
        size = *number;
        rest = rest.substr(0, sizeTab);
    }
    auto path = DecodeUtf8(rest);
    if (!kind || !path || path->empty()) {
        return std::nullopt;
    }
    for (const wchar_t c : *path) {
        if (c < 0x20) {
            return std::nullopt;
        }
    }
    return RecordEntry{*kind, std::move(*path), size};
}

} // namespace

void InstallRecord::Add(RecordKind kind, std::wstring path, std::uint64_t size) {
    for (RecordEntry& entry : entries) {
        if (entry.kind == kind && SamePath(entry.path, path)) {
            entry.size = size;
            return;
        }
    }
    entries.push_back(RecordEntry{kind, std::move(path), size});
}

bool InstallRecord::Has(RecordKind kind, std::wstring_view path) const {
    for (const RecordEntry& entry : entries) {
        if (entry.kind == kind && SamePath(entry.path, path)) {
            return true;
        }
    }
    return false;
}

std::vector<RecordEntry> InstallRecord::Of(RecordKind kind) const {
    std::vector<RecordEntry> out;
    for (const RecordEntry& entry : entries) {
        if (entry.kind == kind) {
            out.push_back(entry);
        }
    }
    return out;
}

void InstallRecord::Merge(const InstallRecord& later) {
    for (const RecordEntry& entry : later.entries) {
        Add(entry.kind, entry.path, entry.size);
    }
}

std::uint64_t InstallRecord::TotalBytes() const {
    std::uint64_t total = 0;
    for (const RecordEntry& entry : entries) {
        total += entry.size;
    }
    return total;
}

std::string FormatRecord(const InstallRecord& record) {
    std::string text(kHeader);
    text += "\r\n";
    for (const RecordEntry& entry : record.entries) {
        text += KindName(entry.kind);
        text += '\t';
        text += EncodeUtf8(entry.path);
        if (entry.size != 0) {
            text += '\t';
            text += std::to_string(entry.size);
        }
        text += "\r\n";
    }
    return text;
}

std::optional<InstallRecord> ParseRecord(std::string_view text) {
    InstallRecord record;
    bool first = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (first) {
            if (line != kHeader) {
                return std::nullopt;
            }
            first = false;
            continue;
        }
        if (line.empty()) {
            continue;
        }
        auto entry = ParseLine(line);
        if (!entry) {
            return std::nullopt;
        }
        record.Add(entry->kind, std::move(entry->path), entry->size);
    }
    if (first) {
        return std::nullopt;
    }
    return record;
}

RecordSeal SealOf(std::string_view text) {
    return RecordSeal{text.size(), HexText(Sha256Of(text))};
}

} // namespace zunor
