#pragma once
// COM (ole32) and the common controls (comctl32), loaded when first called rather than with the
// program. Only the window and the shortcuts need them; a run that calls neither (unattended, without
// shortcuts) never maps them nor what they pull in, some 6 MiB of working set under Wine. Each function
// behaves as the one of the same name; when its library cannot be had, it fails as that one fails.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

namespace zunor::onUse {

HRESULT CoInitializeEx(LPVOID reserved, DWORD flags);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object);
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);

} // namespace zunor::onUse
