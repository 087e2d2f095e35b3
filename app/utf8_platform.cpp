#include "app/utf8_platform.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/long_path.h"

bool WideText::Convert(const char* utf8, bool lenient, size_t extra_room) {
  size_t length = strlen(utf8);
  long needed = Utf8ToUtf16(utf8, length, nullptr, 0, lenient);
  if (needed < 0) return false;
  size_t units = static_cast<size_t>(needed) + 1 + extra_room;
  if (units <= sizeof stack / sizeof stack[0]) {
    text = stack;
    capacity = sizeof stack / sizeof stack[0];
  } else {
    free(heap);
    heap = static_cast<wchar_t*>(malloc(units * sizeof(wchar_t)));
    if (!heap) return false;
    text = heap;
    capacity = units;
  }
  return Utf8ToUtf16(utf8, length, text, capacity, lenient) >= 0;
}

bool WideText::ConvertAnsi(const char* ansi) {
  int units = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
  if (units <= 0) return false;
  if (static_cast<size_t>(units) <= sizeof stack / sizeof stack[0]) {
    text = stack;
    capacity = sizeof stack / sizeof stack[0];
  } else {
    free(heap);
    heap = static_cast<wchar_t*>(malloc(static_cast<size_t>(units) * sizeof(wchar_t)));
    if (!heap) return false;
    text = heap;
    capacity = static_cast<size_t>(units);
  }
  return MultiByteToWideChar(CP_ACP, 0, ansi, -1, text, units) > 0;
}

bool WideText::ConvertForDisplay(const char* utf8) {
  switch (DisplayTextRoute(utf8)) {
    case ROUTE_WIDE: return Convert(utf8, false);
    case ROUTE_WIDE_LENIENT: return Convert(utf8, true);
    default: return ConvertAnsi(utf8);
  }
}

bool WideText::ConvertPath(const char* utf8) {
  if (!Convert(utf8, false, 8)) return false;
  return ExpandLongPath(text, capacity);
}

namespace {

bool ToUtf8(const wchar_t* wide, char* buffer, size_t size) {
  return Utf16ToUtf8(wide, Utf16Length(wide), buffer, size) >= 0;
}

// The text of the current Utf8SetWindowText call, handed to the temporary
// window procedure below. One thread only.
const char* g_pending_title = nullptr;

// Receives the ANSI WM_SETTEXT that Utf8SetWindowText sends and stores the
// title through the wide default procedure, so that an ANSI top-level
// window shows its non-ASCII title correctly.
LRESULT CALLBACK WideTitleProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SETTEXT && g_pending_title) {
    WideText wide;
    if (wide.Convert(g_pending_title, true)) {
      return DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.text));
    }
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int Utf8MessageBox(HWND owner, const char* text, const char* caption) {
  if (DisplayTextRoute(text) != ROUTE_ANSI || DisplayTextRoute(caption) != ROUTE_ANSI) {
    WideText wide_text, wide_caption;
    if (wide_text.ConvertForDisplay(text) && wide_caption.ConvertForDisplay(caption)) {
      return MessageBoxW(owner, wide_text.text, wide_caption.text, MB_OK);
    }
  }
  return MessageBoxA(owner, text, caption, MB_OK);
}

BOOL Utf8SetWindowText(HWND window, const char* text) {
  TextRoute route = DisplayTextRoute(text);
  if (route == ROUTE_ANSI) return SetWindowTextA(window, text);

  DWORD process = 0;
  DWORD thread = GetWindowThreadProcessId(window, &process);
  bool own_ansi_top_level = thread == GetCurrentThreadId() && process == GetCurrentProcessId() &&
                            !IsWindowUnicode(window) &&
                            !(GetWindowLongA(window, GWL_STYLE) & WS_CHILD);
  if (own_ansi_top_level) {
    LONG_PTR previous = SetWindowLongPtrA(window, GWLP_WNDPROC,
                                          reinterpret_cast<LONG_PTR>(&WideTitleProc));
    if (previous) {
      g_pending_title = text;
      BOOL result = SetWindowTextA(window, text);
      g_pending_title = nullptr;
      SetWindowLongPtrA(window, GWLP_WNDPROC, previous);
      return result;
    }
  }
  WideText wide;
  if (wide.Convert(text, route == ROUTE_WIDE_LENIENT)) return SetWindowTextW(window, wide.text);
  return SetWindowTextA(window, text);
}

BOOL Utf8SetDlgItemText(HWND dialog, int control_id, const char* text) {
  HWND control = GetDlgItem(dialog, control_id);
  if (!control) return 0;
  TextRoute route = DisplayTextRoute(text);
  if (route != ROUTE_ANSI) {
    WideText wide;
    if (wide.Convert(text, route == ROUTE_WIDE_LENIENT)) return SetWindowTextW(control, wide.text);
  }
  return SetWindowTextA(control, text);
}

HINSTANCE Utf8ShellExecute(HWND owner, const char* verb, const char* file, const char* parameters,
                           int show) {
  const char* verb_or_default = verb && *verb ? verb : nullptr;
  const char* params_or_none = parameters && *parameters ? parameters : nullptr;
  bool wide = PathRoute(file, true) == ROUTE_WIDE ||
              (params_or_none && PathRoute(params_or_none, false) == ROUTE_WIDE) ||
              (verb_or_default && PathRoute(verb_or_default, false) == ROUTE_WIDE);
  if (wide) {
    WideText wide_verb, wide_file, wide_params;
    if (!wide_file.ConvertPath(file)) return nullptr;
    if ((!verb_or_default || wide_verb.Convert(verb_or_default, false)) &&
        (!params_or_none || wide_params.Convert(params_or_none, false))) {
      return ShellExecuteW(owner, verb_or_default ? wide_verb.text : nullptr, wide_file.text,
                           params_or_none ? wide_params.text : nullptr, nullptr, show);
    }
  }
  return ShellExecuteA(owner, verb_or_default, file, params_or_none, nullptr, show);
}

bool Utf8GetModuleFileName(HINSTANCE instance, char* buffer) {
  wchar_t wide[UTF8_PATH_BUFFER];
  DWORD length = GetModuleFileNameW(instance, wide, UTF8_PATH_BUFFER);
  if (length > 0 && length < UTF8_PATH_BUFFER && ToUtf8(wide, buffer, UTF8_PATH_BUFFER))
    return true;
  length = GetModuleFileNameA(instance, buffer, UTF8_PATH_BUFFER);
  if (length == 0 || length >= UTF8_PATH_BUFFER) {
    buffer[0] = 0;
    return false;
  }
  return true;
}

bool Utf8GetRoamingFolder(char* buffer) {
  wchar_t wide[MAX_PATH + 1] = {0};
  if (SHGetSpecialFolderPathW(nullptr, wide, CSIDL_APPDATA, FALSE)) {
    return ToUtf8(wide, buffer, UTF8_PATH_BUFFER);
  }
  char ansi[MAX_PATH + 1] = {0};
  if (SHGetSpecialFolderPathA(nullptr, ansi, CSIDL_APPDATA, FALSE)) {
    snprintf(buffer, UTF8_PATH_BUFFER, "%s", ansi);
    return true;
  }
  return false;
}

BOOL Utf8CreateDirectory(const char* path) {
  if (PathRoute(path, true) == ROUTE_WIDE) {
    WideText wide;
    if (wide.ConvertPath(path)) return CreateDirectoryW(wide.text, nullptr);
  }
  return CreateDirectoryA(path, nullptr);
}

bool Utf8GetCurrentDirectory(char* buffer) {
  wchar_t wide[UTF8_PATH_BUFFER];
  DWORD length = GetCurrentDirectoryW(UTF8_PATH_BUFFER, wide);
  if (length > 0 && length < UTF8_PATH_BUFFER && ToUtf8(wide, buffer, UTF8_PATH_BUFFER))
    return true;
  length = GetCurrentDirectoryA(UTF8_PATH_BUFFER, buffer);
  if (length == 0 || length >= UTF8_PATH_BUFFER) {
    buffer[0] = 0;
    return false;
  }
  return true;
}

BOOL Utf8SetCurrentDirectory(const char* path) {
  WideText wide;
  if (wide.ConvertPath(path) && SetCurrentDirectoryW(wide.text)) return TRUE;
  return SetCurrentDirectoryA(path);
}

HMODULE Utf8LoadLibrary(const char* name) {
  if (PathRoute(name, true) == ROUTE_WIDE) {
    WideText wide;
    if (wide.ConvertPath(name)) return LoadLibraryW(wide.text);
  }
  return LoadLibraryA(name);
}

FILE* Utf8OpenFile(const char* path, const char* mode) {
  WideText wide_path, wide_mode;
  if (wide_path.ConvertPath(path) && wide_mode.Convert(mode, false)) {
    FILE* file = _wfopen(wide_path.text, wide_mode.text);
    if (file) return file;
    // A failed wide open for writing is not tried again, so that no second
    // file with a garbled name is created.
    if (strchr(mode, '+') || strchr(mode, 'a') || strchr(mode, 'w')) return nullptr;
  }
  return fopen(path, mode);
}

int Utf8Stat(const char* path, struct _stat* status) {
  WideText wide;
  if (wide.ConvertPath(path) && _wstat(wide.text, status) == 0) return 0;
  return _stat(path, status);
}

void Utf8GetWindowText(HWND window, char* buffer, size_t size) {
  if (size == 0) return;
  buffer[0] = 0;
  int length = GetWindowTextLengthW(window);
  if (length < 0) return;
  wchar_t* wide = static_cast<wchar_t*>(malloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t)));
  if (!wide) return;
  GetWindowTextW(window, wide, length + 1);
  if (!ToUtf8(wide, buffer, size)) buffer[0] = 0;
  free(wide);
}

bool Utf8ForEachDirectory(const char* folder, bool (*found)(const char* name, void* context),
                          void* context) {
  std::string pattern = std::string(folder) + "\\*";
  WideText wide;
  if (wide.ConvertPath(pattern.c_str())) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(wide.text, &entry);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        char name[MAX_PATH * 4];
        if (ToUtf8(entry.cFileName, name, sizeof name) && found(name, context)) break;
      } while (FindNextFileW(find, &entry));
      FindClose(find);
      return true;
    }
  }
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA(pattern.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (found(entry.cFileName, context)) break;
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  return true;
}
