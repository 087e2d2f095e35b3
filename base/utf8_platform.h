#pragma once
// UTF-8 wrappers over the platform's text functions. Callers pass and receive
// UTF-8 only; each wrapper picks the wide ("W") or ANSI ("A") function by the
// text it is given (see utf8_text.h) and falls back to the ANSI function when
// a conversion fails.
#include <windows.h>
#include <shellapi.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "base/utf8_file.h"
#include "base/utf8_text.h"

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
int Utf8Stat(const char* path, struct _stat* status);
// LoadImageW (LR_LOADFROMFILE added to flags) on the strictly converted path
// (in the long-path form from 256 characters on),
// then LoadImageA on the path's bytes when that gives nothing. size is both
// the width and the height asked for.
HANDLE Utf8LoadImageFile(const char* path, UINT type, int size, UINT flags);

// The text of a window, as UTF-8, into a caller buffer (empty on failure).
// Used by tests and by windows that read back their own texts.
void Utf8GetWindowText(HWND window, char* buffer, size_t size);

// Calls found(name, context) for each directory entry in folder (no trailing
// separator), in the platform's order, until it returns true. Returns false
// when the listing cannot be started. Wide functions first, ANSI as the
// fallback; names reach the callback as UTF-8.
bool Utf8ForEachDirectory(const char* folder, bool (*found)(const char* name, void* context),
                          void* context);

// The paths of the files and folders dropped on a window (DragQueryFileW),
// in the order given, as UTF-8 (from the system code page for a name that
// does not convert strictly). The caller still calls DragFinish.
std::vector<std::string> Utf8DragQueryFiles(HDROP drop);
// The names of the files directly inside folder (not its folders), in
// Explorer's order (StrCmpLogicalW: case ignored, digits compared as
// numbers), as UTF-8. False when folder is not a folder that can be listed.
bool Utf8ListFolderFiles(const char* folder, std::vector<std::string>* names);

#include <commdlg.h>

// The UTF-8 form of the platform's open-file record (OPENFILENAME). Texts are
// UTF-8; filter is a list of name and pattern pairs, each ended by a zero
// byte, the list ended by an empty string. There is no custom filter.
struct Utf8OpenFileName {
  DWORD struct_size;          // 152, the platform record's size
  HWND owner;
  HINSTANCE instance;
  const char* filter;
  char* custom_filter;        // not supported: always null
  DWORD max_custom_filter;
  DWORD filter_index;         // copied back
  char* file;                 // in: the initial name; out: the selection
  DWORD max_file;             // bytes of file
  char* file_title;           // out: the chosen file's name, when given
  DWORD max_file_title;
  const char* initial_dir;
  const char* title;
  DWORD flags;
  WORD file_offset;           // copied back, in UTF-16 units of the platform's result
  WORD file_extension;        // likewise
  const char* default_ext;
  LPARAM cust_data;
  LPOFNHOOKPROC hook;
  const char* template_name;
  void* reserved_pointer;
  DWORD reserved_dword;
  DWORD flags_ex;
};

// GetOpenFileNameW for a UTF-8 record; returns the platform's result. On
// success file receives the selection in UTF-8: one full path, or, with
// OFN_ALLOWMULTISELECT and several files, the folder and then each name,
// each ended by a zero byte, with one more zero byte at the end. Names that
// no longer fit into max_file bytes are left out (the list still ends with
// its extra zero byte); a single path longer than the buffer is cut to
// max_file - 2 bytes. An empty result reports failure.
BOOL Utf8GetOpenFileName(Utf8OpenFileName* record);
