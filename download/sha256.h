#pragma once
// SHA-256 through Windows CNG, fed piece by piece as a body streams to disk.
#include <windows.h>

#include <bcrypt.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/transfer_options.h"

namespace modSetup::detail {

class Sha256 {
public:
    Sha256(); // ok() tells whether CNG gave us a hash object
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    bool ok() const { return hash_ != nullptr && !failed_; }
    void Add(const void* data, ULONG size);
    void Spoil() { failed_ = true; } // something went unhashed: Finish gives nothing
    // The digest of everything added; nullopt when any step failed. Ends the hash.
    std::optional<zunor::Sha256Digest> Finish();

private:
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
    std::unique_ptr<UCHAR[]> object_; // Windows 7 wants the caller to own the hash object
    bool failed_ = false;
};

// Feeds the first bytes of a file (what a resumed transfer already holds) into hash.
void HashKeptBytes(Sha256& hash, const std::wstring& path, std::uint64_t bytes);

} // namespace modSetup::detail
