#pragma once
// frmMain: the installer's only window. It owns the agreement gate, cancel/finish and the start of the
// product; the installation run drives everything else through the RunWindow interface.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/run_ports.h"

namespace zunor {

class frmMain final : public RunWindow {
public:
    enum class Choice { DesktopShortcut, ProgramGroup, StartProduct };

    explicit frmMain(HINSTANCE instance);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Loads the window (captures SystemDir), creates the controls and shows it centred.
    bool Create(int showCommand);
    // Runs until the window is closed; returns the program's exit code.
    int RunMessageLoop();

    // Called on a click of "Dalje"; a second click while it runs is ignored.
    void SetNextHandler(std::function<void()> onNext) { onNext_ = std::move(onNext); }
    const std::wstring& SystemDir() const { return systemDir_; }
    void SetExitCode(int code) { exitCode_ = code; }
    HWND hwnd() const { return hwnd_; }

    // Initial values that the command line may override before the loop starts.
    void SetInitialLocation(const std::wstring& location);
    void SetInitialChoice(Choice choice, bool ticked);

    // RunWindow
    std::wstring ReadLocation() override;
    void SetCancelCaption(std::wstring_view caption) override;
    void SetProgressTrackVisible(bool visible) override;
    void SetStatusVisible(bool visible) override;
    void SetStatus(std::wstring_view text) override;
    void SetProgress(double fraction) override;
    bool DesktopShortcutChosen() override;
    bool ProgramGroupChosen() override;
    void DisableNext() override;
    void ShowMessage(std::wstring_view text) override;
    bool AskRetry(std::wstring_view problem) override;
    void ProcessPendingMessages() override;
    void ProductPlaced(const ProductFile& product) override { product_ = product; }
    // Where "Zavrsi" writes whether it started the product.
    void SetLog(RunLog& log) { log_ = &log; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Building the window (frm_main_build.cpp).
    bool RegisterClasses();
    void CaptureSystemDir();
    void CreateFonts();
    bool CreateControls();
    void LoadAgreement();
    HFONT FontFor(int id) const;

    // Events (frm_main.cpp).
    void OnCommand(int id, int notification);
    void OnCheck3Click();
    void OnCommand2Click();
    void OnCommand3Click();
    void OnClose();
    [[noreturn]] void EndProgram();
    void StopTransfers();
    void StartProduct();

    // Keyboard (frm_main_keyboard.cpp): the table's tab order, Enter and Space on buttons.
    bool PreTranslate(const MSG& msg);
    void MoveFocus(bool backwards);
    bool CanTakeFocus(int id) const;
    void FocusControl(HWND control);
    bool Dispatch(MSG& msg); // false on WM_QUIT

    HWND Control(int id) const;
    bool IsTicked(int id) const;

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND lastFocus_ = nullptr;
    std::wstring systemDir_;
    std::function<void()> onNext_;
    std::optional<ProductFile> product_; // what this run placed, for "Zavrsi" to start
    RunLog* log_ = nullptr;
    bool running_ = false;
    int exitCode_ = 0;
    int dpiX_ = 96;
    int dpiY_ = 96;
    HFONT standardFont_ = nullptr;
    HFONT headingFont_ = nullptr;
    HFONT agreementFont_ = nullptr;
    HFONT fileListFont_ = nullptr;
    HBRUSH fillBrush_ = nullptr;
};

} // namespace zunor
