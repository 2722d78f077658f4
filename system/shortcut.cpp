#include "system/shortcut.h"

#include <windows.h>

#include <objidl.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <vector>

#include "system/unique_handles.h"

namespace zunor {

using Microsoft::WRL::ComPtr;

namespace {

// The thread may already be in COM (then the scope only balances its own count); when it is in
// the other apartment kind, the object is still created in the one it has.
ComPtr<IShellLinkW> NewShellLink() {
    ComPtr<IShellLinkW> link;
    if (FAILED(onUse::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))))
        return nullptr;
    return link;
}

} // namespace

bool CreateShortcut(const std::wstring& linkPath, const std::wstring& target,
                    const std::wstring& workingDir) {
    try {
        ComScope com;
        ComPtr<IShellLinkW> link = NewShellLink();
        if (!link)
            return false;
        if (FAILED(link->SetPath(target.c_str())))
            return false;
        if (FAILED(link->SetWorkingDirectory(workingDir.c_str())))
            return false;
        ComPtr<IPersistFile> file;
        if (FAILED(link.As(&file)))
            return false;
        return SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
    } catch (...) {
        return false;
    }
}

std::optional<ShortcutInfo> ReadShortcut(const std::wstring& linkPath) {
    try {
        ComScope com;
        ComPtr<IShellLinkW> link = NewShellLink();
        if (!link)
            return std::nullopt;
        ComPtr<IPersistFile> file;
        if (FAILED(link.As(&file)) || FAILED(file->Load(linkPath.c_str(), STGM_READ)))
            return std::nullopt;
        // Long enough for any path the shell link format stores.
        std::vector<wchar_t> buffer(32768, L'\0');
        const int chars = static_cast<int>(buffer.size());
        ShortcutInfo info;
        if (FAILED(link->GetPath(buffer.data(), chars, nullptr, SLGP_RAWPATH)))
            return std::nullopt;
        info.target = buffer.data();
        buffer.assign(buffer.size(), L'\0');
        if (FAILED(link->GetWorkingDirectory(buffer.data(), chars)))
            return std::nullopt;
        info.workingDir = buffer.data();
        return info;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace zunor
