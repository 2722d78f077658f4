#include "download/pace_rule.h"

namespace modSetup {

PaceRule::PaceRule(std::uint64_t startMs, unsigned long windowMs, unsigned long minBytes)
    : windowStart_(startMs), windowMs_(windowMs), minBytes_(minBytes) {}

bool PaceRule::Keep(std::uint64_t bytes, std::uint64_t nowMs) {
    windowBytes_ += bytes;
    if (windowMs_ == 0 || nowMs < windowStart_ + windowMs_)
        return true;
    if (windowBytes_ < minBytes_)
        return false;
    windowStart_ = nowMs;
    windowBytes_ = 0;
    return true;
}

} // namespace modSetup
