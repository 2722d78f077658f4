#include "install/record_rules.h"

#include "common/texts.h"
#include "install/install_paths.h"
#include "install/listed_name.h"

namespace zunor {
namespace {

bool EndsWith(std::wstring_view text, std::wstring_view ending) {
    return text.size() >= ending.size() && SamePath(text.substr(text.size() - ending.size()), ending);
}

bool Same(std::wstring_view a, std::wstring_view b) {
    const auto first = CanonicalPath(a);
    const auto second = CanonicalPath(b);
    return first && second && SamePath(*first, *second);
}

// Directly inside folder.
bool LiesIn(std::wstring_view folder, std::wstring_view path) {
    return LiesInside(folder, path) && Same(folder, FolderOf(*CanonicalPath(path)));
}

} // namespace

std::optional<std::wstring> CanonicalPath(std::wstring_view path) {
    const std::optional<FullPath> full = SplitFullPath(path);
    if (!full) {
        return std::nullopt;
    }
    std::wstring canonical = full->root;
    for (const std::wstring& name : full->names) {
        if (PlainNameFault(name)) {
            return std::nullopt;
        }
        canonical += L"\\" + name;
    }
    return canonical;
}

bool LiesInside(std::wstring_view folder, std::wstring_view path) {
    const auto base = CanonicalPath(folder);
    const auto full = CanonicalPath(path);
    return base && full && full->size() > base->size() + 1 && (*full)[base->size()] == L'\\' &&
           SamePath(std::wstring_view(*full).substr(0, base->size()), *base);
}

bool InstallCanHaveMade(const RecordEntry& entry, const InstallBounds& bounds) {
    const std::wstring& path = entry.path;
    const std::wstring& program = bounds.programFolder;
    switch (entry.kind) {
    case RecordKind::File:
    case RecordKind::Data:
    case RecordKind::Setting:
        return LiesInside(program, path);
    case RecordKind::Uninstaller:
        return Same(path, program + L"\\" + texts::kUninstallerFile) ||
               (!bounds.removalFolder.empty() &&
                Same(path, bounds.removalFolder + L"\\" + texts::kUninstallerFile));
    case RecordKind::Folder:
        return Same(path, program) || (!bounds.removalFolder.empty() && Same(path, bounds.removalFolder)) ||
               LiesInside(program, path) || Same(path, FolderOf(program)) || Same(path, bounds.groupFolder);
    case RecordKind::Shortcut:
        return EndsWith(path, L".lnk") &&
               (LiesIn(bounds.desktopFolder, path) || LiesIn(bounds.groupFolder, path));
    case RecordKind::Layer:
        return EndsWith(path, L".exe") && LiesInside(program, path);
    case RecordKind::Component:
        return LiesIn(bounds.systemFolder, path);
    }
    return false;
}

} // namespace zunor
