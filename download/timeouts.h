#pragma once
// Time limits of every request. Without them a dead server or a connection that goes silent
// mid-body would freeze the installer's window for good.
#include <cstdint>

#include "system/registracija_komponenti.h"

namespace modSetup {

// A reachable server answers a connection within a few seconds even on a poor line; 15 s leaves
// room for that and still tells the user soon when the server is down.
inline constexpr unsigned long kConnectTimeoutMs = 15000;
// Longest silence tolerated while waiting for the answer or the next piece of the body. A slow
// but living transfer keeps delivering data well within 30 s; only a stalled one runs past it.
inline constexpr unsigned long kReceiveTimeoutMs = 30000;
// A body that brings fewer than 4 KiB in a whole minute (under 70 bytes a second, far below the
// slowest mobile line) is given up as stalled, however steadily its bytes drip in.
inline constexpr unsigned long kSlowWindowMs = 60000;
inline constexpr unsigned long kSlowMinBytes = 4096;
// How long an unattended run waits for Zunor 2021 to be closed before it gives up: long enough for a
// user who is told to close it, short enough for a roll-out script that waits for the exit code.
inline constexpr unsigned long kProductCloseWaitMs = 60000;

// A file of at least this size is fetched over several connections at once (as byte ranges), where
// the server serves them and connections are idle. Below it one connection brings the file in well
// under half a second, and another request (a connection and a TLS handshake of its own) would eat
// most of the gain; above it the file alone would keep the run waiting on one connection.
inline constexpr std::uint64_t kSplitMinBytes = 16ull << 20;

struct Timeouts {
    unsigned long connectMs = kConnectTimeoutMs;
    unsigned long receiveMs = kReceiveTimeoutMs;
    // Pauses before the resumptions or restarts of a broken file transfer.
    unsigned long retryDelaysMs[2] = {1000, 3000};
    // A body that keeps trickling is never silent, so the receive limit never fires on it.
    unsigned long slowWindowMs = kSlowWindowMs;
    unsigned long slowMinBytes = kSlowMinBytes;
    // Not requests, but limits of the run the tests shorten too: a component's registration, and the
    // unattended wait for the running product.
    unsigned long registerMs = static_cast<unsigned long>(RegistracijaKomponenti::kRegistrationLimit.count());
    unsigned long productCloseWaitMs = kProductCloseWaitMs;
    // Not a time either: the size from which a file is shared out as ranges (the tests' files are small).
    std::uint64_t splitMinBytes = kSplitMinBytes;
};

// The tests shorten the limits to see stalls quickly; the installer always runs with the defaults.
void SetTimeoutsForTesting(const Timeouts& timeouts);
Timeouts CurrentTimeouts();

} // namespace modSetup
