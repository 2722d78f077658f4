#pragma once
// One request: GET url and stream the body into a temporary file beside the destination, which
// takes the destination's place once the whole body has arrived.
#include <memory>
#include <string>

#include "common/transfer_options.h"
#include "common/transfer_result.h"
#include "download/http_rules.h"
#include "download/part_file.h"
#include "download/resume_rules.h"

namespace modSetup::detail {

class RangedFile;

// Memory stays the same whatever the file's size: the body passes through one buffer of this size
// per connection.
inline constexpr DWORD kChunkBytes = 64 * 1024;

// One attempt into part. With how == Resume it asks for the rest of the body after the
// resume.offset bytes that part holds; otherwise part starts empty. Afterwards resume tells the
// next attempt where this one broke off. Commits part when the whole body is there. Never throws;
// result.attempts is 1 and result.bytes counts this attempt's body bytes.
// With sharing (kept across the attempts of one file), a large file's first answer may hand ranges of
// it to idle connections (options.offerWork): then the attempt ends where its own range does, without
// a commit, and *sharing finishes the file.
zunor::TransferResult FetchAttempt(const std::wstring& url, PartFile& part, ResumePoint& resume,
                                   NextAttempt how, LengthRule rule, const zunor::TransferOptions& options,
                                   std::shared_ptr<RangedFile>* sharing = nullptr);

// One attempt with a temporary file of its own. milliseconds covers the attempt.
zunor::TransferResult FetchOnce(const std::wstring& url, const std::wstring& destination, LengthRule rule,
                                const zunor::TransferOptions& options = {});

bool CancelRequested(const zunor::TransferOptions& options);

// A body sent in chunks (its length is known only at its end).
bool IsChunked(HINTERNET request);

// Reads what has arrived, up to size, waiting (within the receive limit) only when nothing has.
BOOL ReadArrived(HINTERNET request, char* buffer, DWORD size, DWORD* read);

// The validator of an answer (a strong ETag, or else Last-Modified); empty when it has none.
std::wstring Validator(HINTERNET request);

// Waits before the next attempt; false when the transfer is to stop instead.
bool PauseBeforeRetry(unsigned long delayMs, const zunor::TransferOptions& options);

} // namespace modSetup::detail
