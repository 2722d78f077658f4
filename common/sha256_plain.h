#pragma once
// SHA-256 in plain C++, for bytes held in memory (the install record, small enough to hash at once).
// Large files stream through the download layer's hash, which uses the processor's instructions.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/transfer_options.h"

namespace zunor {

// SHA-256's starting state and round constants, shared with the processor-instruction version.
extern const std::uint32_t kSha256Initial[8];
extern const std::uint32_t kSha256Rounds[64];

// What follows a message of `length` bytes to fill its last block or two: the 0x80 marker, zeros and the
// length in bits (big-endian). Written to padding; returns how many bytes (9 to 72).
std::size_t Sha256Padding(std::uint64_t length, std::uint8_t padding[72]);

// The digest of a finished state: its words, big-endian.
Sha256Digest Sha256DigestOf(const std::uint32_t state[8]);

Sha256Digest Sha256Of(std::string_view bytes);

// Two lower-case hexadecimal digits a byte, as sha256sum writes a digest.
std::wstring HexText(std::span<const std::uint8_t> bytes);

} // namespace zunor
