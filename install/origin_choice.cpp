#include "install/origin_choice.h"

#include "install/install_plan.h"
#include "install/run_failure.h"

namespace zunor {
namespace {

constexpr wchar_t kLogOrigin[] = L"origin";

} // namespace

void ReadFromFirstOrigin(const std::vector<std::wstring>& origins, RunLog& log,
                         const std::function<std::optional<std::wstring>(std::size_t)>& read) {
    for (std::size_t i = 0; i < origins.size(); ++i) {
        try {
            if (const std::optional<std::wstring> why = read(i)) {
                log.Write(kLogOrigin, origins[i] + L": passed over, " + *why);
                continue;
            }
        } catch (const RunFailure& failure) {
            if (i + 1 == origins.size()) {
                throw;
            }
            log.Write(kLogOrigin, origins[i] + PassedOverText(failure));
            continue;
        }
        if (origins.size() > 1) {
            log.Write(kLogOrigin, origins[i] + L": serves the listings");
        }
        return;
    }
}

} // namespace zunor
