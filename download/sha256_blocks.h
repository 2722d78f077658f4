#pragma once
// SHA-256's compression function on the processor's SHA instructions (x86 SHA extensions), which
// hash several times faster than a plain implementation. Only where the processor has them.
#include <cstddef>
#include <cstdint>

namespace modSetup::detail {

// True when the processor has the SHA extensions and the SSSE3 and SSE4.1 instructions they need.
bool ShaInstructionsAvailable();

// Folds `blocks` blocks of 64 bytes at data into state (a, b, ... h). Call only when
// ShaInstructionsAvailable().
void Sha256Blocks(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);

} // namespace modSetup::detail
