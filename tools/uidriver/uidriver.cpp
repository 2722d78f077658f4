// uidriver: drives another program's window for the end-to-end tests. One process serves a whole
// test: it reads one command per line (UTF-8) on stdin and answers each with exactly one line on
// stdout, "OK <value>" or "ERR <message>". Texts in answers and in settext are escaped: \\ \r \n \t.
// <id> is a control ID in decimal (found among all descendants of the main window); 0 is the main window.
//
//   start <command line>             start a program (a full Windows command line); it becomes the
//                                    current process -> OK <pid>
//   window <timeout ms> <caption>    wait for a visible top-level window of the current process with
//                                    exactly that caption; it becomes the main window -> OK <hwnd>
//   exists <caption>                 a top-level window with that caption, any process -> OK 1|0
//   windows                          visible top-level windows of the current process -> OK <count>
//   text <id>                        WM_GETTEXT -> OK <text>
//   settext <id> <text>              WM_SETTEXT -> OK
//   visible <id> | enabled <id>      IsWindowVisible / IsWindowEnabled -> OK 1|0
//   checked <id>                     BM_GETCHECK -> OK 0|1|2
//   respond <id> <timeout ms>        whether the control's thread answers WM_GETTEXT within the time
//                                    (SendMessageTimeout) -> OK 1|0 <ms it took>
//   width <id>                       the control's width in pixels (the progress fill) -> OK <w>
//   rect <id>                        window rectangle in the main window's client coordinates -> OK l t r b
//   client <id>                      client area size -> OK w h
//   frame                            the main window's rectangle on the screen -> OK l t r b
//   screen                           screen size -> OK w h
//   focus                            focus of the main window's thread (GetGUIThreadInfo): its control
//                                    ID; 0 none, -1 the main window itself, -2 a window outside it -> OK <n>
//   click <id>                       PostMessage BM_CLICK (posted: a message box must not block us) -> OK
//   key <tab|shift+tab|enter|space>  keyboard input (SendInput) to the focused control of the main
//                                    window, which is brought to the foreground first -> OK
//   close                            the close box: posts WM_SYSCOMMAND SC_CLOSE -> OK
//   msgbox <timeout ms>              wait for a message box (#32770) of the current process -> OK <hwnd>
//   msgtext | msgcaption             the message box's text / caption -> OK <text>
//   msgok                            press the message box's OK -> OK
//   msgitem <id>                     text of a control of the message box (or of another dialog
//                                    found by msgbox, such as the system's password prompt) -> OK <text>
//   msgsettext <id> <text>           WM_SETTEXT to a control of that dialog -> OK
//   msgboxany <timeout ms>           wait for a message box of any process (a removal asks from a
//                                    temporary copy of the program that was started) -> OK <hwnd>
//   msgpress <button id>             press a button of the message box (IDYES 6, IDNO 7, IDRETRY 4,
//                                    IDCANCEL 2) -> OK
//   exit <timeout ms>                wait for the current process to end -> OK <exit code>
//   kill                             terminate the current process -> OK
//   running <image name>             a process with that executable name exists -> OK 1|0
//   quit                             OK, then the driver ends
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPollMs = 20;
constexpr UINT kSendTimeoutMs = 5000;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::wstring Escape(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'\\':
            out += L"\\\\";
            break;
        case L'\r':
            out += L"\\r";
            break;
        case L'\n':
            out += L"\\n";
            break;
        case L'\t':
            out += L"\\t";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::wstring Unescape(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        wchar_t c = text[++i];
        out += c == L'r' ? L'\r' : c == L'n' ? L'\n' : c == L't' ? L'\t' : c;
    }
    return out;
}

std::wstring Hex(const void* p) {
    wchar_t buffer[32];
    swprintf(buffer, 32, L"%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return buffer;
}

// Polls until found returns true or the deadline passes.
bool PollUntil(DWORD timeoutMs, const std::function<bool()>& found) {
    DWORD start = GetTickCount();
    for (;;) {
        if (found())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(kPollMs);
    }
}

class Driver {
public:
    ~Driver() {
        if (process_)
            CloseHandle(process_);
    }

    std::wstring Execute(const std::wstring& line) {
        size_t space = line.find(L' ');
        std::wstring verb = line.substr(0, space);
        std::wstring rest = space == std::wstring::npos ? L"" : line.substr(space + 1);
        if (verb == L"start")
            return Start(rest);
        if (verb == L"window")
            return WaitWindow(rest);
        if (verb == L"exists")
            return Flag(FindTopLevel(0, rest, nullptr) != nullptr);
        if (verb == L"windows")
            return CountWindows();
        if (verb == L"text")
            return Escape(GetText(ControlOf(rest)));
        if (verb == L"settext")
            return SetText(rest);
        if (verb == L"visible")
            return Flag(IsWindowVisible(ControlOf(rest)));
        if (verb == L"enabled")
            return Flag(IsWindowEnabled(ControlOf(rest)));
        if (verb == L"checked")
            return std::to_wstring(Send(ControlOf(rest), BM_GETCHECK, 0, 0));
        if (verb == L"rect")
            return Rect(ControlOf(rest));
        if (verb == L"respond")
            return Respond(rest);
        if (verb == L"width")
            return Width(ControlOf(rest));
        if (verb == L"client")
            return ClientSize(ControlOf(rest));
        if (verb == L"frame")
            return Frame();
        if (verb == L"screen")
            return std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L" " +
                   std::to_wstring(GetSystemMetrics(SM_CYSCREEN));
        if (verb == L"focus")
            return Focus();
        if (verb == L"click")
            return Post(ControlOf(rest), BM_CLICK, 0, 0);
        if (verb == L"key")
            return Key(rest);
        if (verb == L"close")
            return Post(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
        if (verb == L"msgbox")
            return WaitMessageBox(rest, false);
        if (verb == L"msgtext")
            return Escape(GetText(GetDlgItem(MessageBoxWindow(), 0xFFFF)));
        if (verb == L"msgcaption")
            return Escape(GetText(MessageBoxWindow()));
        if (verb == L"msgitem")
            return Escape(GetText(DialogItem(rest)));
        if (verb == L"msgsettext")
            return SetDialogText(rest);
        if (verb == L"msgok")
            return Post(GetDlgItem(MessageBoxWindow(), IDOK), BM_CLICK, 0, 0);
        if (verb == L"msgboxany")
            return WaitMessageBox(rest, true);
        if (verb == L"msgpress")
            return PressButton(rest);
        if (verb == L"exit")
            return WaitExit(rest);
        if (verb == L"kill")
            return Kill();
        if (verb == L"running")
            return Flag(ProcessRuns(rest));
        throw Failure("unknown command");
    }

private:
    static std::wstring Flag(bool value) { return value ? L"1" : L"0"; }

    static DWORD Number(const std::wstring& text) {
        wchar_t* end = nullptr;
        unsigned long value = wcstoul(text.c_str(), &end, 10);
        if (text.empty() || end == text.c_str())
            throw Failure("a number is expected");
        return value;
    }

    // "<number> <rest>"
    static std::pair<DWORD, std::wstring> NumberAndRest(const std::wstring& text) {
        size_t space = text.find(L' ');
        return {Number(text.substr(0, space)), space == std::wstring::npos ? L"" : text.substr(space + 1)};
    }

    HWND Main() const {
        if (!main_ || !IsWindow(main_))
            throw Failure("no main window (use: window)");
        return main_;
    }

    HANDLE Process() const {
        if (!process_)
            throw Failure("no process (use: start)");
        return process_;
    }

    HWND ControlOf(const std::wstring& idText) const {
        int id = static_cast<int>(Number(idText));
        if (id == 0)
            return Main();
        struct Search {
            int id;
            HWND found;
        } search{id, nullptr};
        EnumChildWindows(
            Main(),
            [](HWND child, LPARAM p) CALLBACK -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                if (GetDlgCtrlID(child) != s->id)
                    return TRUE;
                s->found = child;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            throw Failure("no control with that ID");
        return search.found;
    }

    static LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
            throw Failure("the window did not answer");
        return static_cast<LRESULT>(result);
    }

    static std::wstring Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (!window || !PostMessageW(window, message, wParam, lParam))
            throw Failure("PostMessage failed");
        return L"";
    }

    // WM_GETTEXT: GetWindowText would return the creation-time text of another process's control.
    static std::wstring GetText(HWND window) {
        if (!window)
            throw Failure("no such window");
        // The text may grow between the two messages (a status line that counts): asked again then.
        for (;;) {
            LRESULT length = Send(window, WM_GETTEXTLENGTH, 0, 0);
            std::wstring text(static_cast<size_t>(length) + 2, L'\0');
            LRESULT copied = Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
            if (copied <= length) {
                text.resize(static_cast<size_t>(copied));
                return text;
            }
        }
    }

    std::wstring SetText(const std::wstring& rest) {
        size_t space = rest.find(L' ');
        HWND control = ControlOf(rest.substr(0, space));
        std::wstring text = space == std::wstring::npos ? L"" : Unescape(rest.substr(space + 1));
        Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        return L"";
    }

    std::wstring Start(const std::wstring& commandLine) {
        if (process_)
            CloseHandle(process_);
        process_ = nullptr;
        main_ = nullptr;
        messageBox_ = nullptr;
        std::wstring line = commandLine;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        // Wine has now and then (once in several full runs of the 64-bit tree) failed to start a process
        // with ERROR_INTERNAL_ERROR, where the same call a moment later works. Any other error, or that
        // one three times, ends the step.
        for (int attempt = 1;; ++attempt) {
            if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &info))
                break;
            const DWORD error = GetLastError();
            if (error != ERROR_INTERNAL_ERROR || attempt == 3)
                throw Failure("CreateProcess failed, error " + std::to_string(error));
            Sleep(500);
            line = commandLine;
        }
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
        return std::to_wstring(pid_);
    }

    // A visible top-level window; pid 0 means any process, className nullptr any class.
    static HWND FindTopLevel(DWORD pid, const std::wstring& caption, const wchar_t* className) {
        struct Search {
            DWORD pid;
            const std::wstring* caption;
            const wchar_t* className;
            HWND found;
        } search{pid, className ? nullptr : &caption, className, nullptr};
        EnumWindows(
            [](HWND window, LPARAM p) CALLBACK -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if ((s->pid && owner != s->pid) || !IsWindowVisible(window))
                    return TRUE;
                if (s->className) {
                    wchar_t name[64] = {};
                    GetClassNameW(window, name, 64);
                    if (wcscmp(name, s->className) != 0)
                        return TRUE;
                } else {
                    wchar_t text[512] = {};
                    GetWindowTextW(window, text, 512);
                    if (*s->caption != text)
                        return TRUE;
                }
                s->found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    std::wstring WaitWindow(const std::wstring& rest) {
        auto [timeout, caption] = NumberAndRest(rest);
        Process();
        HWND found = nullptr;
        if (!PollUntil(timeout, [&] { return (found = FindTopLevel(pid_, caption, nullptr)) != nullptr; }))
            throw Failure("no such window before the deadline");
        main_ = found;
        return Hex(found);
    }

    std::wstring CountWindows() const {
        struct Count {
            DWORD pid;
            int n;
        } count{pid_, 0};
        Process();
        EnumWindows(
            [](HWND window, LPARAM p) CALLBACK -> BOOL {
                auto* c = reinterpret_cast<Count*>(p);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == c->pid && IsWindowVisible(window))
                    ++c->n;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&count));
        return std::to_wstring(count.n);
    }

    std::wstring Rect(HWND control) const {
        RECT r{};
        if (control == Main()) {
            GetClientRect(control, &r);
        } else {
            GetWindowRect(control, &r);
            MapWindowPoints(HWND_DESKTOP, Main(), reinterpret_cast<POINT*>(&r), 2);
        }
        return std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " + std::to_wstring(r.right) +
               L" " + std::to_wstring(r.bottom);
    }

    // Whether the window's thread handles a sent message in time: a hung window does not.
    std::wstring Respond(const std::wstring& rest) const {
        size_t space = rest.find(L' ');
        HWND control = ControlOf(rest.substr(0, space));
        DWORD timeout = Number(space == std::wstring::npos ? L"" : rest.substr(space + 1));
        wchar_t text[256];
        DWORD_PTR copied = 0;
        const DWORD start = GetTickCount();
        const bool answered = SendMessageTimeoutW(control, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text),
                                                  SMTO_NORMAL, timeout, &copied) != 0;
        return Flag(answered) + L" " + std::to_wstring(GetTickCount() - start);
    }

    static std::wstring Width(HWND control) {
        RECT r{};
        GetWindowRect(control, &r);
        return std::to_wstring(r.right - r.left);
    }

    static std::wstring ClientSize(HWND control) {
        RECT r{};
        GetClientRect(control, &r);
        return std::to_wstring(r.right) + L" " + std::to_wstring(r.bottom);
    }

    std::wstring Frame() const {
        RECT r{};
        GetWindowRect(Main(), &r);
        return std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " + std::to_wstring(r.right) +
               L" " + std::to_wstring(r.bottom);
    }

    std::wstring Focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(Main(), nullptr), &info))
            throw Failure("GetGUIThreadInfo failed");
        if (!info.hwndFocus)
            return L"0";
        if (info.hwndFocus == Main())
            return L"-1";
        if (!IsChild(Main(), info.hwndFocus))
            return L"-2";
        return std::to_wstring(GetDlgCtrlID(info.hwndFocus));
    }

    std::wstring Key(const std::wstring& name) {
        std::vector<WORD> keys;
        if (name == L"tab")
            keys = {VK_TAB};
        else if (name == L"shift+tab")
            keys = {VK_SHIFT, VK_TAB};
        else if (name == L"enter")
            keys = {VK_RETURN};
        else if (name == L"space")
            keys = {VK_SPACE};
        else
            throw Failure("unknown key");
        HWND main = Main();
        if (!PollUntil(2000, [&] {
                if (GetForegroundWindow() == main)
                    return true;
                SetForegroundWindow(main);
                return false;
            }))
            throw Failure("the main window cannot be brought to the foreground");
        std::vector<INPUT> inputs;
        auto add = [&](WORD vk, bool up) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = vk;
            input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
            input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            inputs.push_back(input);
        };
        for (WORD vk : keys)
            add(vk, false);
        for (auto it = keys.rbegin(); it != keys.rend(); ++it)
            add(*it, true);
        if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
            throw Failure("SendInput failed");
        return L"";
    }

    std::wstring WaitMessageBox(const std::wstring& rest, bool anyProcess) {
        DWORD timeout = Number(rest);
        const DWORD pid = anyProcess ? 0 : (Process(), pid_);
        HWND found = nullptr;
        // Another process's box just pressed may still be on its way out: never the same one twice.
        const HWND previous = anyProcess ? messageBox_ : nullptr;
        if (!PollUntil(timeout, [&] {
                found = FindTopLevel(pid, L"", L"#32770");
                return found != nullptr && found != previous;
            }))
            throw Failure("no message box before the deadline");
        messageBox_ = found;
        return Hex(found);
    }

    std::wstring PressButton(const std::wstring& rest) {
        const HWND button = GetDlgItem(MessageBoxWindow(), static_cast<int>(Number(rest)));
        if (!button)
            throw Failure("the message box has no such button");
        return Post(button, BM_CLICK, 0, 0);
    }

    HWND DialogItem(const std::wstring& idText) const {
        const HWND item = GetDlgItem(MessageBoxWindow(), static_cast<int>(Number(idText)));
        if (!item)
            throw Failure("the dialog has no such control");
        return item;
    }

    std::wstring SetDialogText(const std::wstring& rest) {
        size_t space = rest.find(L' ');
        const HWND item = DialogItem(rest.substr(0, space));
        std::wstring text = space == std::wstring::npos ? L"" : Unescape(rest.substr(space + 1));
        Send(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        return L"";
    }

    HWND MessageBoxWindow() const {
        if (!messageBox_ || !IsWindow(messageBox_))
            throw Failure("no message box (use: msgbox)");
        return messageBox_;
    }

    std::wstring WaitExit(const std::wstring& rest) {
        DWORD timeout = Number(rest);
        if (WaitForSingleObject(Process(), timeout) != WAIT_OBJECT_0)
            throw Failure("the process still runs");
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return std::to_wstring(code);
    }

    std::wstring Kill() {
        if (WaitForSingleObject(Process(), 0) == WAIT_OBJECT_0)
            return L"";
        TerminateProcess(process_, 255);
        WaitForSingleObject(process_, 5000);
        return L"";
    }

    static bool ProcessRuns(const std::wstring& imageName) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE)
            throw Failure("no process snapshot");
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        bool found = false;
        for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
             more = Process32NextW(snapshot, &entry))
            found = _wcsicmp(entry.szExeFile, imageName.c_str()) == 0;
        CloseHandle(snapshot);
        return found;
    }

    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND main_ = nullptr;
    HWND messageBox_ = nullptr;
};

void Reply(const std::string& line) {
    std::string out = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
}

} // namespace

int wmain() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    Driver driver;
    std::string pending;
    char buffer[4096];
    for (;;) {
        size_t newline = pending.find('\n');
        if (newline == std::string::npos) {
            DWORD got = 0;
            if (!ReadFile(input, buffer, sizeof buffer, &got, nullptr) || got == 0)
                return 0;
            pending.append(buffer, got);
            continue;
        }
        std::string line = pending.substr(0, newline);
        pending.erase(0, newline + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "quit") {
            Reply("OK");
            return 0;
        }
        try {
            std::wstring value = driver.Execute(FromUtf8(line));
            Reply(value.empty() ? "OK" : "OK " + ToUtf8(value));
        } catch (const std::exception& e) {
            Reply(std::string("ERR ") + e.what());
        }
    }
}
