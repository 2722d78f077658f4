#pragma once
// What a caller may ask of one file transfer beyond fetching it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace zunor {

using Sha256Digest = std::array<std::uint8_t, 32>;

// Files fetched at once: /CONNECTIONS= takes 1 to kMaxConnections, and without it kDefaultConnections.
inline constexpr std::size_t kDefaultConnections = 4;
inline constexpr std::size_t kMaxConnections = 8;

// Work a transfer shares with connections that have nothing else to do (the byte ranges of a large
// file). Called on such a connection's thread; it takes one share and returns whether more may be
// left, so that the connection starts a whole file waiting before it takes the next.
using SharedWork = std::function<bool()>;

struct TransferOptions {
    // When set, the body must hash to this; otherwise the old copy stays (ChecksumMismatch).
    std::optional<Sha256Digest> expectedSha256;
    // With expectedSha256: a destination that already holds bytes of that digest is kept as it is,
    // without a request (TransferResult::current).
    bool keepIfCurrent = false;
    // Told how far the body has come: bytes so far, and the declared total (0 when unknown).
    std::function<void(std::uint64_t received, std::uint64_t total)> progress;
    // Asked between chunks; true stops the transfer (Cancelled) and leaves the old copy.
    std::function<bool()> cancelled;
    // Set where other connections may help: the transfer offers them work through it. progress and
    // cancelled are then called from those connections' threads too.
    std::function<void(SharedWork)> offerWork;
};

}  // namespace zunor
