#include "download/fetch.h"
#include "download/modsetup.h"

namespace modSetup {

zunor::TransferResult DownloadFile(const std::wstring& url, const std::wstring& destination) {
    return detail::FetchOnce(url, destination, LengthRule::Required);
}

} // namespace modSetup
