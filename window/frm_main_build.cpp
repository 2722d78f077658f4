// frmMain: loading the window and creating its controls from the control table.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "assets/resource_ids.h"
#include "window/control_layout.h"
#include "window/controls.h"
#include "window/frm_main.h"
#include "common/texts.h"
#include "system/known_folder.h"
#include "system/loaded_on_use.h"

namespace zunor {
namespace {

constexpr wchar_t kWindowClass[] = L"ZunorSetupWindow";
constexpr wchar_t kPictureClass[] = L"ZunorPictureBox";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr COLORREF kFillColour = RGB(128, 255, 128);

struct ControlClass {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

ControlClass ClassOf(layout::Kind kind) {
    switch (kind) {
    case layout::Kind::Label:
        return {L"STATIC", SS_LEFT | SS_NOPREFIX, 0};
    case layout::Kind::Button:
        return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
    case layout::Kind::CheckBox:
        return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0};
    case layout::Kind::Edit:
        return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case layout::Kind::AgreementEdit:
        return {L"EDIT", ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP,
                WS_EX_CLIENTEDGE};
    case layout::Kind::PictureBox:
        return {kPictureClass, WS_CLIPCHILDREN | WS_BORDER, 0};
    case layout::Kind::FileList:
        return {L"LISTBOX", LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP,
                WS_EX_CLIENTEDGE};
    }
    return {L"STATIC", 0, 0};
}

HFONT MakeFont(int hundredthsOfPoint, int dpi, BYTE charset, const wchar_t* face) {
    return CreateFontW(layout::FontHeight(hundredthsOfPoint, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
}

} // namespace

frmMain::frmMain(HINSTANCE instance) : instance_(instance) {}

frmMain::~frmMain() {
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(standardFont_), static_cast<HGDIOBJ>(headingFont_),
                           static_cast<HGDIOBJ>(agreementFont_), static_cast<HGDIOBJ>(fileListFont_),
                           static_cast<HGDIOBJ>(fillBrush_)})
        if (object)
            DeleteObject(object);
}

bool frmMain::RegisterClasses() {
    WNDCLASSEXW window{};
    window.cbSize = sizeof window;
    window.lpfnWndProc = &frmMain::WindowProc;
    window.hInstance = instance_;
    window.hIcon =
        static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_ZUNOR), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    window.hIconSm =
        static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_ZUNOR), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    window.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&window) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;

    WNDCLASSEXW picture{};
    picture.cbSize = sizeof picture;
    picture.lpfnWndProc = &frmMain::PictureProc;
    picture.hInstance = instance_;
    picture.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    picture.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    picture.lpszClassName = kPictureClass;
    return RegisterClassExW(&picture) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void frmMain::CaptureSystemDir() {
    systemDir_ = QuerySystemDirectory();
}

void frmMain::CreateFonts() {
    HDC screen = GetDC(nullptr);
    if (screen) {
        dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
        dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    standardFont_ = MakeFont(975, dpiY_, ANSI_CHARSET, L"Verdana");
    headingFont_ = MakeFont(1425, dpiY_, ANSI_CHARSET, L"Verdana");
    agreementFont_ = MakeFont(975, dpiY_, EASTEUROPE_CHARSET, L"Verdana");
    fileListFont_ = MakeFont(825, dpiY_, EASTEUROPE_CHARSET, L"MS Sans Serif");
    fillBrush_ = CreateSolidBrush(kFillColour);
}

HFONT frmMain::FontFor(int id) const {
    const layout::ControlEntry* entry = layout::FindControl(id);
    switch (entry ? entry->font : layout::Font::Standard) {
    case layout::Font::Heading:
        return headingFont_;
    case layout::Font::Agreement:
        return agreementFont_;
    case layout::Font::FileList:
        return fileListFont_;
    case layout::Font::Standard:
        break;
    }
    return standardFont_;
}

bool frmMain::Create(int showCommand) {
    INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES};
    onUse::InitCommonControlsEx(&common);
    if (!RegisterClasses())
        return false;
    CaptureSystemDir();
    CreateFonts();

    RECT frame{0, 0, layout::TwipsToPixels(layout::kClientWidthTwips, dpiX_),
               layout::TwipsToPixels(layout::kClientHeightTwips, dpiY_)};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    if (!CreateWindowExW(0, kWindowClass, texts::kWindowCaption, kWindowStyle, x, y, width, height, nullptr,
                         nullptr, instance_, this))
        return false;
    if (!CreateControls())
        return false;
    LoadAgreement();

    lastFocus_ = Control(IDC_COMMAND2);
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    FocusControl(lastFocus_);
    return true;
}

bool frmMain::CreateControls() {
    for (const layout::ControlEntry& entry : layout::ControlTable()) {
        HWND parent = entry.parentId ? Control(entry.parentId) : hwnd_;
        if (!parent)
            return false;
        ControlClass cls = ClassOf(entry.kind);
        // Overlapping siblings: each paints only what lies above no other sibling.
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | cls.style | (entry.initiallyVisible ? WS_VISIBLE : 0) |
                      (entry.initiallyEnabled ? 0 : WS_DISABLED);
        HWND control = CreateWindowExW(
            cls.exStyle, cls.className, entry.text ? entry.text : L"", style,
            layout::TwipsToPixels(entry.twips.left, dpiX_), layout::TwipsToPixels(entry.twips.top, dpiY_),
            layout::TwipsToPixels(entry.twips.width, dpiX_), layout::TwipsToPixels(entry.twips.height, dpiY_),
            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), instance_, nullptr);
        if (!control)
            return false;
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(entry.id)), FALSE);
        if (entry.kind == layout::Kind::CheckBox)
            SendMessageW(control, BM_SETCHECK, entry.initiallyChecked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    // The agreement lies above the controls it covers: it paints over them and takes their clicks.
    SetWindowPos(Control(IDC_TEXT1), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

void frmMain::LoadAgreement() {
    HRSRC found = FindResourceW(instance_, MAKEINTRESOURCEW(IDR_AGREEMENT), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(instance_, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    int size = found ? static_cast<int>(SizeofResource(instance_, found)) : 0;
    if (!bytes || size <= 0)
        return;
    // Windows-1250 whatever the system code page, so č ć š ž đ come out right.
    int length = MultiByteToWideChar(1250, 0, bytes, size, nullptr, 0);
    if (length <= 0)
        return;
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(1250, 0, bytes, size, text.data(), length);
    HWND agreement = Control(IDC_TEXT1);
    SendMessageW(agreement, EM_SETLIMITTEXT, 0, 0);
    SetWindowTextW(agreement, text.c_str());
}

} // namespace zunor
