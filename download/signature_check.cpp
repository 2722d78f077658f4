#include "download/signature_check.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstring>

#include "common/sha256_plain.h"
#include "system/loaded_on_use.h"

namespace modSetup {

namespace onUse = zunor::onUse;

bool VerifyP256(const zunor::P256Point& key, const zunor::Sha256Digest& digest,
                const zunor::P256Signature& signature) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (onUse::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) < 0) {
        return false;
    }
    // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
    unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64] = {};
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob, &header, sizeof header);
    std::copy(key.begin(), key.end(), blob + sizeof header);
    BCRYPT_KEY_HANDLE handle = nullptr;
    bool verified = false;
    if (onUse::BCryptImportKeyPair(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &handle, blob, sizeof blob,
                                   0) >= 0) {
        // CNG takes non-const pointers but does not write through them.
        zunor::Sha256Digest hash = digest;
        zunor::P256Signature rs = signature;
        verified = onUse::BCryptVerifySignature(handle, nullptr, hash.data(), static_cast<ULONG>(hash.size()),
                                                rs.data(), static_cast<ULONG>(rs.size()), 0) == 0;
        onUse::BCryptDestroyKey(handle);
    }
    onUse::BCryptCloseAlgorithmProvider(algorithm, 0);
    return verified;
}

bool VerifyPublisherSignature(std::string_view keyPem, std::string_view message,
                              std::string_view derSignature) {
    const std::optional<zunor::P256Point> key = zunor::P256KeyFromPem(keyPem);
    const std::optional<zunor::P256Signature> signature = zunor::P256SignatureFromDer(derSignature);
    return key && signature && VerifyP256(*key, zunor::Sha256Of(message), *signature);
}

} // namespace modSetup
