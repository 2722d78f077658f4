// frmMain as the installation run sees it: every read goes to the control afresh.
#include <algorithm>
#include <cmath>
#include <string>

#include "window/control_layout.h"
#include "window/controls.h"
#include "window/frm_main.h"
#include "common/texts.h"

namespace zunor {

std::wstring frmMain::ReadLocation() {
    HWND box = Control(IDC_TEXT2);
    int length = GetWindowTextLengthW(box);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(box, text.data(), length + 1)));
    return text;
}

void frmMain::SetCancelCaption(std::wstring_view caption) {
    SetWindowTextW(Control(IDC_COMMAND2), std::wstring(caption).c_str());
}

void frmMain::SetProgressTrackVisible(bool visible) {
    ShowWindow(Control(IDC_PICTURE1), visible ? SW_SHOWNA : SW_HIDE);
}

void frmMain::SetStatusVisible(bool visible) {
    ShowWindow(Control(IDC_LABEL4), visible ? SW_SHOWNA : SW_HIDE);
}

void frmMain::SetStatus(std::wstring_view text) {
    SetWindowTextW(Control(IDC_LABEL4), std::wstring(text).c_str());
}

void frmMain::SetProgress(double fraction) {
    double f = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
    RECT track{};
    GetClientRect(Control(IDC_PICTURE1), &track);
    int width = static_cast<int>(std::lround(f * track.right));
    SetWindowPos(Control(IDC_LABEL3), nullptr, 0, 0, width, track.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool frmMain::DesktopShortcutChosen() {
    return IsTicked(IDC_CHECK1);
}

bool frmMain::ProgramGroupChosen() {
    return IsTicked(IDC_CHECK2);
}

void frmMain::DisableNext() {
    HWND next = Control(IDC_COMMAND3);
    bool hadFocus = GetFocus() == next;
    EnableWindow(next, FALSE);
    if (hadFocus)
        MoveFocus(false); // a disabled control would leave the keyboard dead
}

void frmMain::ShowMessage(std::wstring_view text) {
    MessageBoxW(hwnd_, std::wstring(text).c_str(), texts::kAppTitle, MB_OK);
}

bool frmMain::AskRetry(std::wstring_view problem) {
    return MessageBoxW(hwnd_, std::wstring(problem).c_str(), texts::kAppTitle, MB_RETRYCANCEL) == IDRETRY;
}

void frmMain::SetInitialLocation(const std::wstring& location) {
    SetWindowTextW(Control(IDC_TEXT2), location.c_str());
}

void frmMain::SetInitialChoice(Choice choice, bool ticked) {
    int id = choice == Choice::DesktopShortcut ? IDC_CHECK1
             : choice == Choice::ProgramGroup  ? IDC_CHECK2
                                               : IDC_CHECK4;
    SendMessageW(Control(id), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

} // namespace zunor
