#pragma once
// Ending the program in the middle of a transfer: every transfer in progress is told to stop, a read
// that waits on the network is broken off, and the temporary file goes before the process does.
#include <windows.h>
#include <wininet.h>

#include <string>

#include "download/modsetup.h"

namespace modSetup {

namespace detail {

bool TransfersStopping();

// Counts a transfer as running while it lives. Declare it before the transfer's temporary file, so
// that it ends after the file is gone.
class TransferScope {
public:
    TransferScope();
    ~TransferScope();
    TransferScope(const TransferScope&) = delete;
    TransferScope& operator=(const TransferScope&) = delete;
};

// While a temporary file is tracked, a stop that cannot wait for its transfer to end removes it
// (the file is open with FILE_SHARE_DELETE, so it goes when its last handle does).
void TrackTemporaryFile(const std::wstring& path);
void UntrackTemporaryFile(const std::wstring& path);

// While a request is watched, a stop closes it, which makes a read blocked on it return.
class RequestWatch {
public:
    explicit RequestWatch(HINTERNET request);
    ~RequestWatch();
    RequestWatch(const RequestWatch&) = delete;
    RequestWatch& operator=(const RequestWatch&) = delete;

    // Ends the watch. True when a stop has closed the request already: its owner must not close
    // it again.
    bool Finish();

private:
    HINTERNET request_;
    bool finished_ = false;
    bool closedByStop_ = false;
};

} // namespace detail
} // namespace modSetup
