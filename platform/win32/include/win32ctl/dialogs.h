// Dialog control API of the Linux stand-in: how a host program or a test
// plays the user in front of modal dialogs and of the system's port
// configuration dialog.
#ifndef W32CTL_DIALOGS_H
#define W32CTL_DIALOGS_H

#include <windows.h>

// Called once for each modal dialog, on the dialog's own thread, after
// WM_INITDIALOG, with the dialog's window. The driver plays the user by
// sending the messages a UI test sends on Windows (BM_CLICK, WM_SETTEXT,
// WM_CLOSE, WM_KEYDOWN with VK_ESCAPE or VK_RETURN...). A dialog that is
// still open when the driver returns is closed as by its close box
// (WM_CLOSE, which a dialog answers as IDCANCEL). With no driver installed,
// every dialog is closed that way at once.
typedef void (*W32DialogDriver)(void* context, HWND dialog);

// Installs a driver; null removes it.
WIN32_API void W32SetDialogDriver(W32DialogDriver driver, void* context);

// What the user does in the system's port configuration dialog.
enum W32CommConfigAnswer {
    // The dialog fails to appear (FALSE, ERROR_INVALID_PARAMETER).
    W32_COMMCONFIG_FAIL = -1,
    // The user cancels (FALSE, ERROR_CANCELLED); the record is unchanged.
    W32_COMMCONFIG_CANCEL = 0,
    // The user confirms the settings the responder left in the record (TRUE).
    W32_COMMCONFIG_CONFIRM = 1
};

// Answers CommConfigDialogA; config is the caller's record, which the
// responder may change (dcb) before confirming. Returns a W32CommConfigAnswer.
typedef int (*W32CommConfigResponder)(void* context, const char* portName, HWND owner, COMMCONFIG* config);

// Installs a responder; null restores the default, which cancels.
WIN32_API void W32SetCommConfigResponder(W32CommConfigResponder responder, void* context);

// Modal dialogs open right now, for leak checks.
WIN32_API size_t W32CountOpenDialogs(void);

#endif
