#include "download/inet_error.h"

#include <windows.h>
#include <winerror.h>
#include <wininet.h>

namespace modSetup::detail {

namespace {

bool IsCertificateError(unsigned long code) {
    switch (code) {
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
        return true;
    default:
        break;
    }
    // SEC_E_* and CERT_E_* results, as some stacks pass them through unchanged.
    const unsigned long facility = (code >> 16) & 0x1FFF;
    return (code & 0x80000000UL) && (facility == FACILITY_SECURITY || facility == FACILITY_CERT);
}

} // namespace

zunor::TransferError ClassifyInternetError(unsigned long code) {
    using zunor::TransferError;
    if (code == ERROR_INTERNET_TIMEOUT || code == WAIT_TIMEOUT || code == WSAETIMEDOUT)
        return TransferError::Timeout;
    if (code == ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR || code == ERROR_INTERNET_POST_IS_NON_SECURE)
        return TransferError::InsecureRedirect;
    if (IsCertificateError(code))
        return TransferError::BadCertificate;
    return TransferError::ConnectionLost;
}

zunor::TransferError ClassifyFailedCall(unsigned long code, unsigned long long callMs,
                                        unsigned long limitMs) {
    const auto kind = ClassifyInternetError(code);
    // The tick count is coarse (10-16 ms); a tenth of the limit is slack enough.
    if (kind == zunor::TransferError::ConnectionLost && limitMs > 0 && callMs * 10 >= limitMs * 9ULL)
        return zunor::TransferError::Timeout;
    return kind;
}

} // namespace modSetup::detail
