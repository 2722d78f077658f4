#include "window/product_start.h"

#include <windows.h>

#include <cstdio>

#include "common/texts.h"
#include "download/modsetup.h"
#include "system/product_launch.h"

namespace zunor {
namespace {

constexpr wchar_t kLogLaunch[] = L"launch";

bool SameFile(const ProductFile& product) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(product.path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return size == product.size && modSetup::FileSha256(product.path) == product.sha256;
}

} // namespace

std::wstring StartPlacedProduct(const std::optional<ProductFile>& product, const std::wstring& path,
                                RunLog& log) {
    const wchar_t* why = nullptr;
    if (!product) {
        log.Write(kLogLaunch, path + L": not started, this run did not place it");
        why = texts::kLaunchNotPlaced;
    } else if (!SameFile(*product)) {
        log.Write(kLogLaunch, product->path + L": not started, changed since it was placed");
        why = texts::kLaunchChanged;
    } else {
        std::wstring step;
        long error = 0;
        if (LaunchThroughShell(product->path, &step, &error)) {
            log.Write(kLogLaunch, product->path + L": started by the desktop shell");
            return {};
        }
        wchar_t code[16] = {};
        std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(error));
        log.Write(kLogLaunch,
                  product->path + L": not started, no desktop shell (" + step + L" " + code + L")");
        why = texts::kLaunchNoShell;
    }
    return std::wstring(why) + L"\r\n" + texts::kContextFile + (product ? product->path : path);
}

} // namespace zunor
