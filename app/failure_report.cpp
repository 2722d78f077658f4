#include "app/failure_report.h"

#include "common/texts.h"
#include "system/win_error.h"

namespace zunor {

std::wstring FailureReport(const RunFailure& failure) {
    std::wstring text = texts::kErrorPrefix + std::to_wstring(failure.number) + L": " + failure.description;
    // An HTTP status or a number of our own has no system text; a detail says why in our words.
    std::wstring system = failure.number > 0 && failure.systemError && failure.detail.empty()
                              ? SystemErrorText(static_cast<unsigned long>(failure.number))
                              : L"";
    if (!system.empty()) text += L" " + system + L".";
    if (!failure.detail.empty()) text += L"\r\n" + failure.detail;
    if (!failure.context.empty()) text += L"\r\n" + failure.context;
    return text;
}

} // namespace zunor
