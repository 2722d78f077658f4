// ZunorSetup: the window is the program; switches select unattended mode, the server and the log.
#include <windows.h>

#include "app/application.h"
#include "system/loaded_on_use.h"

extern "C" int WinMainCRTStartup();

// The process starts here, not in the C runtime: library search is limited to the system directory
// before anything (the runtime, the visual styles, WinINet) can load a library by name.
extern "C" __attribute__((force_align_arg_pointer)) int ZunorStart() {
    zunor::LimitLibrarySearchToSystem();
    return WinMainCRTStartup();
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    return zunor::RunApplication(instance, showCommand);
}
