#pragma once
// UTF-8 wrappers over the platform's text functions. Callers pass and receive
// UTF-8 only; each wrapper picks the wide ("W") or ANSI ("A") function by the
// text it is given (see utf8_text.h) and falls back to the ANSI function when
// a conversion fails.
#include <windows.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdio>

#include "app/utf8_text.h"

// Buffer sizes, in bytes, of the wrappers that return a path.
const size_t UTF8_PATH_BUFFER = 2048;

// A UTF-8 text converted to UTF-16: on the stack for ordinary texts, on the
// heap (freed with the object) for long ones. extra_room leaves space for
// the long-path prefix.
struct WideText {
  wchar_t stack[1024];
  wchar_t* heap;
  wchar_t* text;
  size_t capacity;

  WideText() : heap(nullptr), text(nullptr), capacity(0) {}
  ~WideText() { free(heap); }
  WideText(const WideText&) = delete;
  WideText& operator=(const WideText&) = delete;

  bool Convert(const char* utf8, bool lenient, size_t extra_room = 0);
  // The text as the ANSI function would read it (system code page).
  bool ConvertAnsi(const char* ansi);
  // A displayed text: strictly, leniently or from the code page, by its route.
  bool ConvertForDisplay(const char* utf8);
  // Convert a path and put it into the long-path form when it is long.
  bool ConvertPath(const char* utf8);
};

int Utf8MessageBox(HWND owner, const char* text, const char* caption);
BOOL Utf8SetWindowText(HWND window, const char* text);
BOOL Utf8SetDlgItemText(HWND dialog, int control_id, const char* text);
HINSTANCE Utf8ShellExecute(HWND owner, const char* verb, const char* file, const char* parameters,
                           int show);
// Both take a caller buffer of UTF8_PATH_BUFFER bytes.
bool Utf8GetModuleFileName(HINSTANCE instance, char* buffer);
bool Utf8GetRoamingFolder(char* buffer);
BOOL Utf8CreateDirectory(const char* path);
bool Utf8GetCurrentDirectory(char* buffer);
BOOL Utf8SetCurrentDirectory(const char* path);
HMODULE Utf8LoadLibrary(const char* name);
FILE* Utf8OpenFile(const char* path, const char* mode);
int Utf8Stat(const char* path, struct _stat* status);

// The text of a window, as UTF-8, into a caller buffer (empty on failure).
// Used by tests and by windows that read back their own texts.
void Utf8GetWindowText(HWND window, char* buffer, size_t size);

// Calls found(name, context) for each directory entry in folder (no trailing
// separator), in the platform's order, until it returns true. Returns false
// when the listing cannot be started. Wide functions first, ANSI as the
// fallback; names reach the callback as UTF-8.
bool Utf8ForEachDirectory(const char* folder, bool (*found)(const char* name, void* context),
                          void* context);
