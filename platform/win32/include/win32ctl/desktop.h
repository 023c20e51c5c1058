// Desktop control API of the Linux stand-in: how a host program or a test
// plays the user in front of message boxes.
#ifndef W32CTL_DESKTOP_H
#define W32CTL_DESKTOP_H

#include <windows.h>

// Answers a message box; text and caption are as passed (code page 932).
typedef int (*W32MessageBoxResponder)(void* context, HWND owner, const char* text, const char* caption, UINT type);

// Installs a responder; null restores the default, which prints the text
// (converted to UTF-8) to stderr and answers IDOK.
WIN32_API void W32SetMessageBoxResponder(W32MessageBoxResponder responder, void* context);

// Converts CP932 text to UTF-8 into out (always NUL-terminated); returns the
// length written without the NUL.
WIN32_API size_t W32Cp932ToUtf8(const char* text, char* out, size_t outSize);

// Live kernel object handles, for leak checks.
WIN32_API size_t W32CountHandles(void);

#endif
