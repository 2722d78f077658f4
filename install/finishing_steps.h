#pragma once
// The steps after the files: the settings that name the program folder, the compatibility marks, the
// shortcuts the user chose, and the marks of the setup program's own folder. What fails is an item of
// the report; the run goes on.
#include <string>

#include "install/run_context.h"

namespace zunor {

class FinishingSteps {
public:
    explicit FinishingSteps(RunContext& run) : run_(run) {}

    void WriteSettings();
    void MarkProductExecutables();
    void MakeDesktopShortcut();
    void MakeProgramGroup();
    void MarkSetupFolder();

    // The program folder's short form, where the settings got that; otherwise empty.
    const std::wstring& ShortForm() const { return shortForm_; }

private:
    void MakeShortcut(const std::wstring& linkPath);
    LayerWrite WriteLayer(const std::wstring& valueName);

    RunContext& run_;
    std::wstring shortForm_;
};

} // namespace zunor
