#include "app/failure_report.h"

#include "common/texts.h"
#include "system/win_error.h"

namespace zunor {

std::wstring FailureReport(const RunFailure& failure) {
    std::wstring text = texts::kErrorPrefix + std::to_wstring(failure.number) + L": " + failure.description;
    // With a detail the number is the server's status, which the system has no text for.
    std::wstring system = failure.number > 0 && failure.detail.empty()
                              ? SystemErrorText(static_cast<unsigned long>(failure.number))
                              : L"";
    if (!system.empty()) text += L" " + system + L".";
    if (!failure.detail.empty()) text += L"\r\n" + failure.detail;
    if (!failure.context.empty()) text += L"\r\n" + failure.context;
    return text;
}

} // namespace zunor
