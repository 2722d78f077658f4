#include "install/transfer_progress.h"

#include <algorithm>

#include "common/texts.h"

namespace zunor {

namespace {

// Tenths of a megabyte, rounded down, so that a file shows its full size only when complete.
std::wstring Megabytes(std::uint64_t bytes) {
    const std::uint64_t tenths = bytes * 10 / kLargeFileBytes;
    return std::to_wstring(tenths / 10) + texts::kDecimalComma + std::to_wstring(tenths % 10);
}

} // namespace

std::wstring MegabytesOf(std::uint64_t received, std::uint64_t total) {
    return Megabytes(std::min(received, total)) + texts::kProgressOf + Megabytes(total) +
           texts::kProgressUnit;
}

std::wstring TransferStatus(std::wstring_view status, std::wstring_view name, std::uint64_t received,
                            std::uint64_t total) {
    std::wstring text(status);
    if (total <= kLargeFileBytes)
        return text;
    return text + texts::kProgressNameSeparator + std::wstring(name) + L" (" + MegabytesOf(received, total) +
           L")";
}

std::optional<int> NewTenth(std::uint64_t received, std::uint64_t total, int reported) {
    if (total <= kLargeFileBytes)
        return std::nullopt;
    const auto tenth = static_cast<int>(std::min<std::uint64_t>(received, total) * 10 / total);
    if (tenth <= reported || tenth == 0)
        return std::nullopt;
    return tenth;
}

} // namespace zunor
