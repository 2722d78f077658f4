#pragma once
// One request: GET url and stream the body into a temporary file beside the destination, which
// takes the destination's place once the whole body has arrived.
#include <string>

#include "download/http_rules.h"
#include "download/part_file.h"
#include "download/resume_rules.h"
#include "common/transfer_options.h"
#include "common/transfer_result.h"

namespace modSetup::detail {

// One attempt into part. With how == Resume it asks for the rest of the body after the
// resume.offset bytes that part holds; otherwise part starts empty. Afterwards resume tells the
// next attempt where this one broke off. Commits part when the whole body is there. Never throws;
// result.attempts is 1 and result.bytes counts this attempt's body bytes.
zunor::TransferResult FetchAttempt(const std::wstring& url, PartFile& part, ResumePoint& resume,
                                   NextAttempt how, LengthRule rule, const zunor::TransferOptions& options);

// One attempt with a temporary file of its own. milliseconds covers the attempt.
zunor::TransferResult FetchOnce(const std::wstring& url, const std::wstring& destination, LengthRule rule,
                                const zunor::TransferOptions& options = {});

} // namespace modSetup::detail
