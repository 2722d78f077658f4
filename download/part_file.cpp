#include "download/part_file.h"

#include "download/transfer_stop.h"
#include "system/direct_removal.h"

namespace modSetup::detail {

namespace {
constexpr DWORD kErrorRedirected = 4395; // ERROR_REPARSE_POINT_ENCOUNTERED
// The process id keeps two setups running side by side from sharing a temporary file.
std::wstring TemporaryPathFor(const std::wstring& destination) {
    return destination + L"." + std::to_wstring(GetCurrentProcessId()) + L".zunor-part";
}
} // namespace

PartFile::PartFile(std::wstring destination)
    : destination_(std::move(destination)), temporary_(TemporaryPathFor(destination_)) {}

PartFile::~PartFile() {
    Discard();
}

bool PartFile::Create(DWORD* error) {
    if (file_)
        return true;
    size_ = 0;
    // FILE_SHARE_DELETE: a stop at the end of the program may remove it while it is still open.
    file_ = zunor::AdoptFileHandle(CreateFileW(temporary_.c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        *error = GetLastError();
        return false;
    }
    created_ = true;
    TrackTemporaryFile(temporary_);
    return true;
}

bool PartFile::Write(const void* data, DWORD size, DWORD* error) {
    if (!WriteAt(size_, data, size, error))
        return false;
    size_ += size;
    return true;
}

// Every write names its offset: writes of other ranges move the handle's file pointer.
bool PartFile::WriteAt(std::uint64_t offset, const void* data, DWORD size, DWORD* error) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD written = 0;
        if (!WriteFile(file_.get(), bytes, size, &written, &at) || written == 0) {
            *error = written == 0 && GetLastError() == ERROR_SUCCESS ? ERROR_WRITE_FAULT : GetLastError();
            return false;
        }
        bytes += written;
        size -= written;
        offset += written;
    }
    return true;
}

bool PartFile::Truncate(DWORD* error) {
    size_ = 0;
    if (!file_)
        return true;
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get())) {
        *error = GetLastError();
        return false;
    }
    return true;
}

bool PartFile::Commit(DWORD* error) {
    if (!FlushFileBuffers(file_.get())) {
        *error = GetLastError();
        return false;
    }
    file_.reset();
    // The destination's folder may have been made a link or junction since the transfer began.
    if (!zunor::FolderReachedDirectly(destination_.substr(0, destination_.find_last_of(L'\\')))) {
        *error = kErrorRedirected;
        return false;
    }
    if (!MoveFileExW(temporary_.c_str(), destination_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *error = GetLastError();
        return false;
    }
    created_ = false;
    UntrackTemporaryFile(temporary_);
    return true;
}

void PartFile::Discard() {
    file_.reset();
    if (created_) {
        DeleteFileW(temporary_.c_str());
        UntrackTemporaryFile(temporary_);
    }
    created_ = false;
}

} // namespace modSetup::detail
