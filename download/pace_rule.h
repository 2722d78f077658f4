#pragma once
// Tells a body that still moves from one that only drips. Portable, so the rule is unit tested.
#include <cstdint>

namespace modSetup {

// Counts a body's bytes in consecutive windows of windowMs; a window that closes with fewer than
// minBytes in it means the transfer is too slow to go on.
class PaceRule {
public:
    PaceRule(std::uint64_t startMs, unsigned long windowMs, unsigned long minBytes);

    // Call after every read with the bytes it brought (0 allowed) and the time. False once a whole
    // window has passed with too few bytes.
    bool Keep(std::uint64_t bytes, std::uint64_t nowMs);

private:
    std::uint64_t windowStart_;
    std::uint64_t windowBytes_ = 0;
    unsigned long windowMs_;
    unsigned long minBytes_;
};

} // namespace modSetup
