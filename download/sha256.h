#pragma once
// SHA-256, fed piece by piece as a body streams to disk: on the processor's SHA instructions where
// it has them (sha256_blocks.h), through Windows CNG otherwise. The two give the same digests; the
// instructions cost a fraction of the time where CNG has no use for them (Windows 7, Wine).
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
    enum class Engine { Fastest, Cng };
    // ok() tells whether the engine is ready (CNG may give no hash object).
    explicit Sha256(Engine engine = Engine::Fastest);
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    bool ok() const { return (instructions_ || hash_ != nullptr) && !failed_; }
    void Add(const void* data, ULONG size);
    void Spoil() { failed_ = true; } // something went unhashed: Finish gives nothing
    // The digest of everything added; nullopt when any step failed. Ends the hash.
    std::optional<zunor::Sha256Digest> Finish();

private:
    void AddBlocks(const std::uint8_t* data, std::size_t size);

    // The processor's instructions: the state, and the bytes of a block not yet complete.
    bool instructions_ = false;
    std::uint32_t state_[8] = {};
    std::uint8_t pending_[64] = {};
    std::size_t pendingBytes_ = 0;
    std::uint64_t length_ = 0;
    // CNG.
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
    std::unique_ptr<UCHAR[]> object_; // Windows 7 wants the caller to own the hash object
    bool failed_ = false;
};

// Feeds `bytes` bytes of a file from offset from (what a resumed transfer already holds, or the ranges
// other connections brought) into hash.
void HashKeptBytes(Sha256& hash, const std::wstring& path, std::uint64_t bytes, std::uint64_t from = 0);

} // namespace modSetup::detail
