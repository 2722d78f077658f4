#pragma once
// modSetup: the installer's access to the download server (files and listing pages over WinINet),
// the file test, and the URL-cache purge made before every request. None of these ever throws.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/transfer_options.h"
#include "common/transfer_result.h"

namespace modSetup {

// Fetches url with one GET and stores the body at destination. The destination changes only when
// the whole body arrived and was written; on any failure it keeps what it held (or stays absent).
// The answer must declare its length (Content-Length): only then can a cut body be told apart.
// A body that breaks off on the way is taken up again twice at most, after 1 s and 3 s: from where
// it broke when the server serves byte ranges of the same version (ETag or Last-Modified), from the
// start otherwise. options.progress hears of every piece written, options.cancelled is asked
// between pieces; both are called on the thread that called DownloadFile. With options.keepIfCurrent,
// a destination whose bytes already hash to options.expectedSha256 is kept, and nothing is requested.
zunor::TransferResult DownloadFile(const std::wstring& url, const std::wstring& destination,
                                   const zunor::TransferOptions& options = {});

// Fetches a listing page to folder + fileName (plain concatenation: folder should end in "\").
// A declared length is checked; a chunked page, as servers often send indexes, is kept as decoded.
// A status other than 200 ends after one attempt; an error (connection, TLS, timeout, write)
// is followed at once by a second and last attempt.
zunor::TransferResult DownloadListing(const std::wstring& url, const std::wstring& folder,
                                      const std::wstring& fileName,
                                      const zunor::TransferOptions& options = {});

// Fetches a small text (a listing page, SHA256SUMS) into body, with DownloadListing's rules. It passes
// through a temporary file of its own, deleted before the call returns, so nothing stays on disk.
zunor::TransferResult FetchText(const std::wstring& url, std::string& body);

// Stops every transfer in progress and every later one: they end as Cancelled, their temporary
// files removed and the old copies kept. Waits up to timeoutMs for those in progress to clean up;
// true when they all did. For the end of the program: there is no way back.
bool StopTransfers(unsigned long timeoutMs);

// True when path names a file (not a folder). A file another program holds open still counts.
bool FileExists(const std::wstring& path);

// The SHA-256 of the file's bytes, read once from start to end (on the processor's SHA instructions
// where it has them); nullopt when it cannot be read whole, or stop (asked between pieces) says so.
std::optional<zunor::Sha256Digest> FileSha256(const std::wstring& path, const std::function<bool()>& stop = {});

// Lets the window process its messages, then deletes url's cache entry; repeats while a deletion
// succeeds. Returns the number of passes (each pass = one message step and one deletion attempt).
int PurgeUrlCache(const std::wstring& url, const std::function<void()>& processMessages);

// The same for many addresses, paid once: lets the window process its messages, then walks the URL
// cache once and deletes every entry of any of urls (the case of the letters aside). Returns the
// number of entries deleted.
int PurgeUrlCaches(const std::vector<std::wstring>& urls, const std::function<void()>& processMessages);

} // namespace modSetup
