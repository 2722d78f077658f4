#pragma once
// COM (ole32) and the common controls (comctl32), loaded when first called rather than with the
// program. Only the window and the shortcuts need them; a run that calls neither (unattended, without
// shortcuts) never maps them nor what they pull in, some 6 MiB of working set under Wine. The same for
// the version resources (version) and the Restart Manager (rstrtmgr), each needed once a run. Each
// function behaves as the one of the same name; when its library cannot be had, it fails as that one
// fails.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <restartmanager.h>

namespace zunor::onUse {

HRESULT CoInitializeEx(LPVOID reserved, DWORD flags);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object);
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);

DWORD GetFileVersionInfoSizeW(LPCWSTR path, LPDWORD handle);
BOOL GetFileVersionInfoW(LPCWSTR path, DWORD handle, DWORD size, LPVOID data);
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length);

DWORD RmStartSession(DWORD* session, DWORD flags, WCHAR key[]);
DWORD RmRegisterResources(DWORD session, UINT files, LPCWSTR fileNames[], UINT applications,
                          RM_UNIQUE_PROCESS applicationList[], UINT services, LPCWSTR serviceNames[]);
DWORD RmGetList(DWORD session, UINT* needed, UINT* count, RM_PROCESS_INFO processes[], LPDWORD reasons);
DWORD RmEndSession(DWORD session);

} // namespace zunor::onUse
