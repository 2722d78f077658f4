#pragma once
// The publisher's ECDSA P-256 key and signatures, in the forms openssl writes them (a PEM public key,
// a DER signature), turned into the raw forms Windows CNG takes: the point X||Y and the pair r||s.
// Portable and strict: anything that is not exactly such a key or signature gives nothing.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zunor {

using P256Point = std::array<std::uint8_t, 64>;     // X||Y, big-endian, 32 bytes each
using P256Signature = std::array<std::uint8_t, 64>; // r||s, big-endian, 32 bytes each

// A "-----BEGIN PUBLIC KEY-----" block (SubjectPublicKeyInfo) of an uncompressed P-256 point.
std::optional<P256Point> P256KeyFromPem(std::string_view pem);

// SEQUENCE { INTEGER r, INTEGER s } in DER, each 1 to 32 bytes of value; nothing may follow it.
std::optional<P256Signature> P256SignatureFromDer(std::string_view der);

} // namespace zunor
