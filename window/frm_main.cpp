// frmMain: the window procedure and the four events (load is in frm_main_build.cpp).
#include "window/frm_main.h"

#include <string>

#include "download/modsetup.h"
#include "system/win_error.h"
#include "window/control_layout.h"
#include "window/controls.h"
#include "window/product_start.h"
#include "common/texts.h"

namespace zunor {

LRESULT CALLBACK frmMain::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    frmMain* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<frmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<frmMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// Picture1 lets the window colour its children (the progress fill Label3).
LRESULT CALLBACK frmMain::PictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC)
        return SendMessageW(GetParent(hwnd), message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (lParam)
            OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == Control(IDC_LABEL3)) {
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(128, 255, 128));
            return reinterpret_cast<LRESULT>(fillBrush_);
        }
        break;
    case WM_ACTIVATE:
        // Keep the focused control across deactivation, as a dialog would.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus))
                lastFocus_ = focus;
        } else if (!HIWORD(wParam) && lastFocus_ && IsWindow(lastFocus_)) {
            SetFocus(lastFocus_);
            return 0;
        }
        break;
    case WM_SETFOCUS:
        if (lastFocus_ && IsWindow(lastFocus_))
            SetFocus(lastFocus_);
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(exitCode_);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void frmMain::OnCommand(int id, int notification) {
    if (notification != BN_CLICKED)
        return;
    switch (id) {
    case IDC_CHECK3:
        OnCheck3Click();
        break;
    case IDC_COMMAND2:
        OnCommand2Click();
        break;
    case IDC_COMMAND3:
        OnCommand3Click();
        break;
    default:
        break; // no other control does anything, "..." included
    }
}

// The agreement gate: accepting uncovers the options for good.
void frmMain::OnCheck3Click() {
    if (!IsTicked(IDC_CHECK3))
        return;
    HWND focus = GetFocus();
    bool focusCovered =
        !focus || focus == hwnd_ || focus == Control(IDC_CHECK3) || focus == Control(IDC_TEXT1);
    EnableWindow(Control(IDC_COMMAND3), TRUE);
    ShowWindow(Control(IDC_TEXT1), SW_HIDE);
    ShowWindow(Control(IDC_CHECK3), SW_HIDE);
    if (focusCovered) {
        int next = layout::NextTabStop(IDC_CHECK3, false, [this](int id) { return CanTakeFocus(id); });
        if (next)
            FocusControl(Control(next));
    }
}

// Cancel, or finish: the caption that the run sets is the only record of where we are.
void frmMain::OnCommand2Click() {
    int length = GetWindowTextLengthW(Control(IDC_COMMAND2));
    std::wstring caption(static_cast<size_t>(length) + 1, L'\0');
    caption.resize(static_cast<size_t>(GetWindowTextW(Control(IDC_COMMAND2), caption.data(), length + 1)));
    const bool start = caption == texts::kFinish && IsTicked(IDC_CHECK4);
    StopTransfers(); // a half-fetched file must not be started, nor left behind
    if (start)
        StartProduct();
    EndProgram();
}

void frmMain::OnCommand3Click() {
    if (running_ || !onNext_ || !IsWindowEnabled(Control(IDC_COMMAND3)))
        return;
    running_ = true;
    try {
        onNext_();
    } catch (...) {
        running_ = false;
        throw;
    }
    running_ = false;
}

// The close box never starts the product; during the run it ends the program at once.
void frmMain::OnClose() {
    if (running_)
        EndProgram();
    DestroyWindow(hwnd_);
}

void frmMain::EndProgram() {
    StopTransfers();
    ExitProcess(static_cast<UINT>(exitCode_));
}

// A transfer in progress when the user leaves is broken off; its temporary file goes, the old copy
// stays. The program ends within a second, whatever the server does.
void frmMain::StopTransfers() {
    constexpr unsigned long kStopWaitMs = 900;
    modSetup::StopTransfers(kStopWaitMs);
}

void frmMain::StartProduct() {
    NullRunLog noLog;
    const std::wstring why = StartPlacedProduct(
        product_, ReadLocation() + texts::kProgramFolder + L"\\" + texts::kProductExe, log_ ? *log_ : noLog);
    if (!why.empty())
        ShowMessage(why);
}

int frmMain::RunMessageLoop() {
    MSG msg;
    while (Dispatch(msg)) {
    }
    return exitCode_;
}

HWND frmMain::Control(int id) const {
    if (id == IDC_LABEL3)
        return GetDlgItem(GetDlgItem(hwnd_, IDC_PICTURE1), id);
    return GetDlgItem(hwnd_, id);
}

bool frmMain::IsTicked(int id) const {
    return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

} // namespace zunor
