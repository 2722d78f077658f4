// frmMain: the keyboard. Not a dialog: Text1 lies above controls that come before it in tab order, so
// the dialog manager (which tabs in stacking order) would get the order wrong. Tab and Shift+Tab follow
// the control table; Enter and Space press the focused button.
#include "window/control_layout.h"
#include "window/controls.h"
#include "window/frm_main.h"

namespace zunor {

bool frmMain::Dispatch(MSG& msg) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1)
        return false;
    if (!PreTranslate(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

void frmMain::ProcessPendingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // leave it for the outer loop
            return;
        }
        if (!PreTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

bool frmMain::PreTranslate(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || !hwnd_)
        return false;
    if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))
        return false; // message boxes tab themselves
    switch (msg.wParam) {
    case VK_TAB:
        if (GetKeyState(VK_CONTROL) < 0)
            return false;
        MoveFocus(GetKeyState(VK_SHIFT) < 0);
        return true;
    case VK_RETURN:
    case VK_SPACE: {
        const layout::ControlEntry* entry =
            msg.hwnd == hwnd_ ? nullptr : layout::FindControl(GetDlgCtrlID(msg.hwnd));
        if (!entry)
            return false;
        bool press = entry->kind == layout::Kind::Button ||
                     (entry->kind == layout::Kind::CheckBox && msg.wParam == VK_SPACE);
        if (!press)
            return false;
        bool repeat = (msg.lParam & (1L << 30)) != 0;
        if (!repeat)
            SendMessageW(msg.hwnd, BM_CLICK, 0, 0);
        return true;
    }
    default:
        return false;
    }
}

bool frmMain::CanTakeFocus(int id) const {
    const layout::ControlEntry* entry = layout::FindControl(id);
    HWND control = Control(id);
    return entry && control && layout::CanEverFocus(entry->kind) && IsWindowVisible(control) &&
           IsWindowEnabled(control);
}

void frmMain::MoveFocus(bool backwards) {
    HWND focus = GetFocus();
    int current = (focus && IsChild(hwnd_, focus)) ? GetDlgCtrlID(focus) : 0;
    int next = layout::NextTabStop(current, backwards, [this](int id) { return CanTakeFocus(id); });
    if (next)
        FocusControl(Control(next));
}

void frmMain::FocusControl(HWND control) {
    if (!control)
        return;
    lastFocus_ = control;
    SetFocus(control);
}

} // namespace zunor
