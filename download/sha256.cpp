#include "download/sha256.h"

#include <algorithm>
#include <functional>
#include <iterator>

#include "common/sha256_plain.h"
#include "download/modsetup.h"
#include "download/sha256_blocks.h"
#include "system/unique_handles.h"

namespace modSetup::detail {

namespace onUse = zunor::onUse;

namespace {
bool Succeeded(NTSTATUS status) {
    return status >= 0;
}
} // namespace

Sha256::Sha256(Engine engine) {
    if (engine == Engine::Fastest && ShaInstructionsAvailable()) {
        instructions_ = true;
        std::copy(std::begin(zunor::kSha256Initial), std::end(zunor::kSha256Initial), state_);
        return;
    }
    if (!Succeeded(onUse::BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        algorithm_ = nullptr;
        return;
    }
    DWORD objectBytes = 0;
    ULONG written = 0;
    if (!Succeeded(onUse::BCryptGetProperty(algorithm_, BCRYPT_OBJECT_LENGTH,
                                            reinterpret_cast<PUCHAR>(&objectBytes), sizeof objectBytes,
                                            &written, 0)))
        return;
    object_ = std::make_unique<UCHAR[]>(objectBytes);
    if (!Succeeded(onUse::BCryptCreateHash(algorithm_, &hash_, object_.get(), objectBytes, nullptr, 0, 0)))
        hash_ = nullptr;
}

Sha256::~Sha256() {
    if (hash_)
        onUse::BCryptDestroyHash(hash_);
    if (algorithm_)
        onUse::BCryptCloseAlgorithmProvider(algorithm_, 0);
}

void Sha256::Add(const void* data, ULONG size) {
    if (!ok() || size == 0)
        return;
    if (instructions_) {
        AddBlocks(static_cast<const std::uint8_t*>(data), size);
        return;
    }
    // CNG takes a non-const pointer but does not write through it.
    if (!Succeeded(onUse::BCryptHashData(hash_, static_cast<PUCHAR>(const_cast<void*>(data)), size, 0)))
        failed_ = true;
}

void Sha256::AddBlocks(const std::uint8_t* data, std::size_t size) {
    length_ += size;
    if (pendingBytes_ > 0) {
        const std::size_t taken = std::min(size, sizeof pending_ - pendingBytes_);
        std::copy(data, data + taken, pending_ + pendingBytes_);
        pendingBytes_ += taken;
        data += taken;
        size -= taken;
        if (pendingBytes_ < sizeof pending_)
            return;
        Sha256Blocks(state_, pending_, 1);
        pendingBytes_ = 0;
    }
    Sha256Blocks(state_, data, size / 64);
    pendingBytes_ = size % 64;
    std::copy(data + size - pendingBytes_, data + size, pending_);
}

std::optional<zunor::Sha256Digest> Sha256::Finish() {
    if (!ok())
        return std::nullopt;
    if (instructions_) {
        std::uint8_t padding[72];
        AddBlocks(padding, zunor::Sha256Padding(length_, padding));
        failed_ = true; // a finished hash takes no more data
        return zunor::Sha256DigestOf(state_);
    }
    zunor::Sha256Digest digest{};
    const bool done =
        Succeeded(onUse::BCryptFinishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0));
    failed_ = true; // a finished hash takes no more data
    if (!done)
        return std::nullopt;
    return digest;
}

namespace {

constexpr std::uint64_t kToTheEnd = ~std::uint64_t{0};

// Feeds path's bytes from offset from into hash, a piece at a time: `bytes` of them, or all of them with
// kToTheEnd. False when not all could be read, or stop (asked between pieces) said to stop.
bool HashFrom(Sha256& hash, const std::wstring& path, std::uint64_t bytes, const std::function<bool()>& stop,
              std::uint64_t from = 0) {
    // Larger than a transfer's piece: reading what is in place is all this does, and it is held only
    // while it hashes.
    constexpr DWORD kChunkBytes = 256 * 1024;
    zunor::UniqueHandle file =
        zunor::AdoptFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER start{};
    start.QuadPart = static_cast<LONGLONG>(from);
    if (from > 0 && !SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN))
        return false;
    auto buffer = std::make_unique<char[]>(kChunkBytes);
    while (bytes > 0) {
        if (stop && stop())
            return false;
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(bytes < kChunkBytes ? bytes : kChunkBytes);
        if (!ReadFile(file.get(), buffer.get(), want, &got, nullptr))
            return false;
        if (got == 0)
            return bytes == kToTheEnd;
        hash.Add(buffer.get(), got);
        if (bytes != kToTheEnd)
            bytes -= got;
    }
    return true;
}

} // namespace

void HashKeptBytes(Sha256& hash, const std::wstring& path, std::uint64_t bytes, std::uint64_t from) {
    if (!HashFrom(hash, path, bytes, {}, from))
        hash.Spoil(); // what cannot be read back cannot be vouched for
}

} // namespace modSetup::detail

namespace modSetup {

std::optional<zunor::Sha256Digest> FileSha256(const std::wstring& path, const std::function<bool()>& stop) {
    if (!FileExists(path))
        return std::nullopt;
    detail::Sha256 hash;
    if (!hash.ok() || !detail::HashFrom(hash, path, detail::kToTheEnd, stop))
        return std::nullopt;
    return hash.Finish();
}

} // namespace modSetup
