#pragma once
// A body on its way to disk: written to a temporary file beside the destination, and moved over the
// destination only once it is complete. Until then the destination keeps what it held.
#include <windows.h>

#include <cstdint>
#include <string>

#include "system/unique_handles.h"

namespace modSetup::detail {

class PartFile {
public:
    explicit PartFile(std::wstring destination);
    ~PartFile(); // deletes the temporary file unless it was committed
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Each returns false with the system's error code in *error.
    bool Create(DWORD* error); // an open file is kept as it is: a resumed transfer appends to it
    bool Write(const void* data, DWORD size, DWORD* error); // after what was written so far
    // At offset, for the ranges of a file that several connections fetch at once (any thread; leaves
    // Size() as it is).
    bool WriteAt(std::uint64_t offset, const void* data, DWORD size, DWORD* error);
    bool Truncate(DWORD* error); // back to empty, for a transfer that starts over
    bool Commit(DWORD* error);   // flush, close, move over the destination

    const std::wstring& TemporaryPath() const { return temporary_; }
    std::uint64_t Size() const { return size_; } // bytes written since the file was created or emptied

private:
    void Discard();

    std::wstring destination_;
    std::wstring temporary_;
    zunor::UniqueHandle file_;
    bool created_ = false;
    std::uint64_t size_ = 0;
};

} // namespace modSetup::detail
