// The screen-saver shell: entry and mode dispatch, the saver window and its
// closing rules, and the password check. Plain Win32 code; the state that
// files share lives in the g_ variables below, what one file alone keeps is
// an s_ static there.
#pragma once

#include <windows.h>

#include "SystemProc.h"

// Sent by the closing saver to ask for the password; non-zero: it may close.
#define WM_VERIFYPASSWORD WM_APP

#define SAVER_CLASS_NAME "WindowsScreenSaverClass"
#define SAVER_TITLE      "Screen Saver"
#define PREVIEW_TITLE    "Preview"


// ---- Start-up and mode dispatch (SaverMain.cpp) ----
extern HINSTANCE g_hSaverInstance;
extern BOOL g_bWin9x;

[[noreturn]] void SaverMain();
int RunSaverCommand(HINSTANCE hInstance, LPSTR pszArgs);
HWND ParseWindowHandle(LPCSTR psz);
int RunConfigDialog(HWND hOwner);

// ---- What the system lets the program run (Processor.cpp) ----
// Calls pfnProbe, a routine of one instruction and a return, under an
// exception filter; FALSE when that instruction faulted as unknown.
BOOL InstructionRuns(void (*pfnProbe)());
// The SSE instruction that the check at start tries (xorps xmm0, xmm0).
extern "C" void TrySseInstruction();
// Windows 95, 98 and Me: keeps the JPEG decoder to MMX where SSE faults.
void KeepSimdToSavedRegisters();

// ---- Saver window, message loop and input rules (SaverWindow.cpp) ----
extern BOOL g_bPreview;
extern BOOL g_bClosing;
extern BOOL g_bVerifying;

int RunSaverWindow(HWND hParent);
LRESULT CALLBACK SaverWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefaultSaverProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Password verification and change (Password.cpp) ----
typedef BOOL (WINAPI* VERIFYPWDPROC)(HWND hWnd);

extern VERIFYPWDPROC g_pfnVerifyPassword;

void LoadPasswordLibrary();
void FreePasswordLibrary();
BOOL VerifySaverPassword(HWND hWnd);
void SetSaverRunning(BOOL bRunning);
void ChangeSaverPassword(HWND hOwner);

// ---- Framework bridges (ScreenSaverWnd.cpp, ScreenSaverDlg.cpp) ----
LRESULT ForwardToSaverWnd(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SaverDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
