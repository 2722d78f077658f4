#include "system/program_group.h"

#include <windows.h>

#include <shlobj.h>

#include "system/known_folder.h"
#include "common/texts.h"

namespace zunor {

std::wstring ProgramGroupFolder() {
    const std::wstring programs =
        ShellFolderPath(CSIDL_COMMON_PROGRAMS).value_or(texts::kFixedProgramsFolder);
    const bool atRoot = !programs.empty() && programs.back() == L'\\';
    return programs + (atRoot ? L"" : L"\\") + texts::kGroupName;
}

} // namespace zunor
