#pragma once
// What a download reports to its caller: whether the destination now holds the new body, and if not,
// why. Portable, so the run's logic and its report are tested natively.
#include <cstdint>
#include <string>

namespace zunor {

enum class TransferError {
    None,
    HttpStatus,        // the server answered with a status other than 200
    ConnectionLost,    // the connection failed or broke before the whole body arrived
    Timeout,           // connect or receive time limit ran out
    WriteFailed,       // the body could not be written or moved into place
    BadCertificate,    // the server's certificate was not trusted
    InsecureRedirect,  // a redirect left https
    ProxyAuthRequired, // the proxy asked who we are (407) and was not told
    ChecksumMismatch,  // the body does not match the checksum the server published
    Cancelled,         // the user ended the program during the transfer
};

struct TransferResult {
    TransferError error = TransferError::None;
    int status = 0;                  // HTTP status when one was received
    unsigned long systemError = 0;   // the platform's error code, when there is one
    std::uint64_t bytes = 0;         // body bytes received
    std::uint32_t milliseconds = 0;  // duration of the request
    int attempts = 0;                // requests made
    int ranges = 1;                  // byte ranges the body was put together from, over several connections
    bool current = false;            // the destination already held the right bytes: nothing was requested
    // InsecureRedirect: where the server sent the request; ProxyAuthRequired: the proxy that asked.
    std::wstring address = {};

    bool ok() const { return error == TransferError::None; }
};

// Short reason in the program's language, for the report of what failed.
std::wstring ReasonText(const TransferResult& result);

}  // namespace zunor
