#pragma once
// How far the file transfers have come, as the window and the install log show it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zunor {

// A file this large gets its name and its megabytes on the status line, and tenths in the log.
inline constexpr std::uint64_t kLargeFileBytes = 1024 * 1024;

// "<status> - <name> (x od y MB)"; for a file of unknown or small size, the status alone.
std::wstring TransferStatus(std::wstring_view status, std::wstring_view name, std::uint64_t received,
                            std::uint64_t total);

// The tenth (1..10) that received has reached of a large file, once it passes a new one after
// `reported`; nothing otherwise.
std::optional<int> NewTenth(std::uint64_t received, std::uint64_t total, int reported);

// "x od y MB", megabytes of 1024 KiB with one decimal and a decimal comma.
std::wstring MegabytesOf(std::uint64_t received, std::uint64_t total);

} // namespace zunor
