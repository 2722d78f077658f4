#include "download/sha256.h"

#include "system/unique_handles.h"

namespace modSetup::detail {

namespace {
bool Succeeded(NTSTATUS status) {
    return status >= 0;
}
} // namespace

Sha256::Sha256() {
    if (!Succeeded(BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        algorithm_ = nullptr;
        return;
    }
    DWORD objectBytes = 0;
    ULONG written = 0;
    if (!Succeeded(BCryptGetProperty(algorithm_, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectBytes),
                                     sizeof objectBytes, &written, 0)))
        return;
    object_ = std::make_unique<UCHAR[]>(objectBytes);
    if (!Succeeded(BCryptCreateHash(algorithm_, &hash_, object_.get(), objectBytes, nullptr, 0, 0)))
        hash_ = nullptr;
}

Sha256::~Sha256() {
    if (hash_)
        BCryptDestroyHash(hash_);
    if (algorithm_)
        BCryptCloseAlgorithmProvider(algorithm_, 0);
}

void Sha256::Add(const void* data, ULONG size) {
    if (!ok() || size == 0)
        return;
    // CNG takes a non-const pointer but does not write through it.
    if (!Succeeded(BCryptHashData(hash_, static_cast<PUCHAR>(const_cast<void*>(data)), size, 0)))
        failed_ = true;
}

std::optional<zunor::Sha256Digest> Sha256::Finish() {
    if (!ok())
        return std::nullopt;
    zunor::Sha256Digest digest{};
    const bool done = Succeeded(BCryptFinishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0));
    failed_ = true; // a finished hash takes no more data
    if (!done)
        return std::nullopt;
    return digest;
}

void HashKeptBytes(Sha256& hash, const std::wstring& path, std::uint64_t bytes) {
    constexpr DWORD kChunkBytes = 64 * 1024;
    zunor::UniqueHandle file =
        zunor::AdoptFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        auto buffer = std::make_unique<char[]>(kChunkBytes);
        while (bytes > 0) {
            DWORD got = 0;
            const DWORD want = static_cast<DWORD>(bytes < kChunkBytes ? bytes : kChunkBytes);
            if (!ReadFile(file.get(), buffer.get(), want, &got, nullptr) || got == 0)
                break;
            hash.Add(buffer.get(), got);
            bytes -= got;
        }
    }
    if (bytes > 0)
        hash.Spoil(); // what cannot be read back cannot be vouched for
}

} // namespace modSetup::detail
