#include "system/file_version.h"

#include <windows.h>

#include <vector>

#include "system/loaded_on_use.h"

namespace zunor {

std::wstring FileVersion(const std::wstring& path) {
    const onUse::BorrowedLibrary library(L"version.dll");
    const auto sizeOf = library.Get<decltype(&::GetFileVersionInfoSizeW)>("GetFileVersionInfoSizeW");
    const auto infoOf = library.Get<decltype(&::GetFileVersionInfoW)>("GetFileVersionInfoW");
    const auto query = library.Get<decltype(&::VerQueryValueW)>("VerQueryValueW");
    if (!sizeOf || !infoOf || !query) {
        return {};
    }
    DWORD ignored = 0;
    const DWORD size = sizeOf(path.c_str(), &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<BYTE> data(size);
    if (!infoOf(path.c_str(), 0, size, data.data())) {
        return {};
    }
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!query(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof *info || info->dwSignature != 0xFEEF04BD) {
        return {};
    }
    std::wstring version = std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
                           std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
                           std::to_wstring(HIWORD(info->dwFileVersionLS));
    if (LOWORD(info->dwFileVersionLS) != 0) {
        version += L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
    }
    return version;
}

} // namespace zunor
