// ZunorSetup: the window is the program.
#include <windows.h>

#include "wizard/frm_main.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    zunor::frmMain window(instance);
    if (!window.Create(showCommand))
        return 1;
    return window.RunMessageLoop();
}
