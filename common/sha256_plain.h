#pragma once
// SHA-256 in plain C++, for bytes held in memory (the install record, small enough to hash at once).
// Large files stream through the download layer's hash, which uses the processor's instructions.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/transfer_options.h"

namespace zunor {

// SHA-256's round constants, shared with the processor-instruction version.
extern const std::uint32_t kSha256Rounds[64];

Sha256Digest Sha256Of(std::string_view bytes);

// Two lower-case hexadecimal digits a byte, as sha256sum writes a digest.
std::wstring HexText(std::span<const std::uint8_t> bytes);

} // namespace zunor
