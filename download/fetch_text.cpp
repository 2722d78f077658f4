#include <windows.h>

#include "download/modsetup.h"
#include "system/unique_handles.h"

namespace modSetup {

namespace {

// A file in the user's temporary folder that is gone when this goes.
class ScratchFile {
public:
    ScratchFile() {
        wchar_t folder[MAX_PATH + 1];
        const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
        wchar_t name[MAX_PATH + 1];
        if (n > 0 && n <= MAX_PATH && GetTempFileNameW(folder, L"zun", 0, name) != 0) {
            path_ = name;
        }
    }
    ~ScratchFile() {
        if (!path_.empty())
            DeleteFileW(path_.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

bool ReadWhole(const std::wstring& path, std::string& body) {
    // Listings and checksum files are small; a body past this is nothing the installer reads.
    constexpr LONGLONG kMaxBytes = 64LL * 1024 * 1024;
    zunor::UniqueHandle file = zunor::AdoptFileHandle(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxBytes)
        return false;
    body.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < body.size()) {
        DWORD got = 0;
        if (!ReadFile(file.get(), body.data() + done, static_cast<DWORD>(body.size() - done), &got,
                      nullptr) ||
            got == 0)
            return false;
        done += got;
    }
    return true;
}

} // namespace

zunor::TransferResult FetchText(const std::wstring& url, std::string& body) {
    body.clear();
    try {
        ScratchFile scratch;
        if (scratch.path().empty()) {
            zunor::TransferResult result;
            result.error = zunor::TransferError::WriteFailed;
            result.systemError = GetLastError();
            return result;
        }
        zunor::TransferResult result = DownloadListing(url, L"", scratch.path());
        if (result.ok() && !ReadWhole(scratch.path(), body)) {
            body.clear();
            result.error = zunor::TransferError::WriteFailed;
            result.systemError = GetLastError();
        }
        return result;
    } catch (...) {
        body.clear();
        zunor::TransferResult result;
        result.error = zunor::TransferError::WriteFailed;
        return result;
    }
}

} // namespace modSetup
