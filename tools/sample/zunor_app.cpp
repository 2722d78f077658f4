// Stand-in for the product's main program: one window titled "Zunor 2021", so that whoever watches
// an installation sees the product start. It notes how it was started (its parent process, its token's
// elevation type, the show command, its current folder) under HKCU\Software\Brantovik\ZunorSample\Started.
#include <windows.h>

#include <tlhelp32.h>

#include <string>

namespace {

constexpr wchar_t kClassName[] = L"ZunorSampleMain";
constexpr wchar_t kTitle[] = L"Zunor 2021";
constexpr wchar_t kGreeting[] = L"Zunor 2021 - probni program (instaliran sa lokalnog servera)";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateWindowExW(0, L"STATIC", kGreeting, WS_CHILD | WS_VISIBLE, 16, 16, 640, 24, window, nullptr,
                        reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance, nullptr);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void Note(HKEY key, const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void NoteHowStarted(int show) {
    DWORD parent = 0;
    std::wstring parentImage;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
    }
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); parent && more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == parent) parentImage = entry.szExeFile;
    }
    CloseHandle(snapshot);
    TOKEN_ELEVATION_TYPE elevation = TokenElevationTypeDefault;
    HANDLE token = nullptr;
    DWORD size = 0;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        GetTokenInformation(token, TokenElevationType, &elevation, sizeof elevation, &size);
        CloseHandle(token);
    }
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Brantovik\\ZunorSample\\Started", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    Note(key, L"ParentId", std::to_wstring(parent));
    Note(key, L"ParentImage", parentImage);
    Note(key, L"ElevationType", std::to_wstring(static_cast<int>(elevation)));
    Note(key, L"Show", std::to_wstring(show));
    Note(key, L"Folder", folder);
    RegCloseKey(key);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    NoteHowStarted(show);
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassW(&wc))
        return 1;
    HWND window = CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  480, 120, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, show);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
