#include "app/silent_window.h"

#include <windows.h>

#include <algorithm>

#include "common/texts.h"
#include "download/timeouts.h"

namespace zunor {

namespace {
constexpr unsigned long kRetryPauseMs = 1000;
}

bool SilentWindow::AskRetry(std::wstring_view problem) {
    const unsigned long limit = modSetup::CurrentTimeouts().productCloseWaitMs;
    if (!told_) {
        console_.Print(problem);
        console_.Print(texts::kWaitingForProductPrefix + std::to_wstring((limit + 999) / 1000) +
                       texts::kWaitingForProductSuffix);
        told_ = true;
    }
    if (waitedMs_ >= limit) {
        return false;
    }
    const unsigned long pause = std::min(kRetryPauseMs, limit - waitedMs_);
    Sleep(pause);
    waitedMs_ += pause;
    return true;
}

} // namespace zunor
