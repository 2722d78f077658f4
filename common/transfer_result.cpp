#include "common/transfer_result.h"

#include "common/texts.h"

namespace zunor {

std::wstring ReasonText(const TransferResult& result) {
    switch (result.error) {
    case TransferError::None:
        return L"";
    case TransferError::HttpStatus:
        // The stack follows redirects itself; one that still comes back leads nowhere (a loop).
        if (result.status >= 300 && result.status < 400) {
            return L"preusmerenje bez kraja (server je vratio " + std::to_wstring(result.status) + L")";
        }
        return L"server je vratio " + std::to_wstring(result.status);
    case TransferError::ConnectionLost:
        return L"veza je prekinuta";
    case TransferError::Timeout:
        return L"isteklo je vreme cekanja";
    case TransferError::WriteFailed:
        return L"datoteka ne moze da se upise";
    case TransferError::BadCertificate:
        return L"neispravan sertifikat servera";
    case TransferError::InsecureRedirect:
        return L"preusmerenje na nezasticenu vezu";
    case TransferError::ProxyAuthRequired:
        return texts::kReasonProxyPrefix + result.address + texts::kReasonProxySuffix;
    case TransferError::ChecksumMismatch:
        return L"kontrolni zbir se ne poklapa";
    case TransferError::Cancelled:
        return L"prekinuto";
    }
    return L"";
}

}  // namespace zunor
