#pragma once
// The publisher's ECDSA P-256 / SHA-256 signature over a text, checked by Windows CNG.
#include <string_view>

#include "common/publisher_signature.h"
#include "common/transfer_options.h"

namespace modSetup {

// True only when signature (r||s) is key's signature over digest.
bool VerifyP256(const zunor::P256Point& key, const zunor::Sha256Digest& digest,
                const zunor::P256Signature& signature);

// The whole check: keyPem as openssl writes a public key, derSignature as `openssl dgst -sha256 -sign`
// writes it, over message's exact bytes. A key or signature that cannot be read does not verify.
bool VerifyPublisherSignature(std::string_view keyPem, std::string_view message,
                              std::string_view derSignature);

} // namespace modSetup
