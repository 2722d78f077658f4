// ZunorSetup: the window is the program; switches select unattended mode, the server and the log.
#include <windows.h>

#include "app/application.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    return zunor::RunApplication(instance, showCommand);
}
