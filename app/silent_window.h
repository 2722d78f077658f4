#pragma once
// The run's window in unattended mode (/S): no window and no message box. The options come from the
// command line; messages go to the console (the run writes its own log lines).
#include <string>

#include "app/console_output.h"
#include "common/run_ports.h"

namespace zunor {

class SilentWindow final : public RunWindow {
public:
    SilentWindow(std::wstring location, bool desktop, bool group, ConsoleOutput& console)
        : location_(std::move(location)), desktop_(desktop), group_(group), console_(console) {}

    std::wstring ReadLocation() override { return location_; }
    void SetCancelCaption(std::wstring_view) override {}
    void SetProgressTrackVisible(bool) override {}
    void SetStatusVisible(bool) override {}
    void SetStatus(std::wstring_view) override {}
    void SetProgress(double) override {}
    bool DesktopShortcutChosen() override { return desktop_; }
    bool ProgramGroupChosen() override { return group_; }
    void DisableNext() override {}
    // The run logs its report and failures itself; the console shows them.
    void ShowMessage(std::wstring_view text) override { console_.Print(text); }
    // Nobody can answer: the problem is shown once, then each retry comes after a pause, until the
    // bounded wait is over.
    bool AskRetry(std::wstring_view problem) override;
    void ProcessPendingMessages() override {}

private:
    std::wstring location_;
    bool desktop_;
    bool group_;
    ConsoleOutput& console_;
    unsigned long waitedMs_ = 0;
    bool told_ = false;
};

}  // namespace zunor
