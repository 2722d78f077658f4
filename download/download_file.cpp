#include "download/fetch.h"
#include "download/modsetup.h"

namespace modSetup {

zunor::TransferResult DownloadFile(const std::wstring& url, const std::wstring& destination,
                                   const zunor::TransferOptions& options) {
    return detail::FetchOnce(url, destination, LengthRule::Required, options);
}

} // namespace modSetup
