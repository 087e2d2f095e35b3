#include "base/utf8_platform.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "base/long_path.h"

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

HANDLE Utf8LoadImageFile(const char* path, UINT type, int size, UINT flags) {
  HANDLE handle = nullptr;
  WideText wide;
  if (wide.ConvertPath(path)) {
    handle = LoadImageW(nullptr, wide.text, type, size, size, flags | LR_LOADFROMFILE);
    // Some image loaders refuse the long-path form: the same file by its
    // short (8.3) path, when that is short enough to need no prefix.
    wchar_t short_path[MAX_PATH];
    DWORD length = handle || wcsncmp(wide.text, L"\\\\?\\", 4) != 0
                       ? 0 : GetShortPathNameW(wide.text, short_path, MAX_PATH);
    if (length > 4 && length < MAX_PATH) {
      const wchar_t* plain = short_path + 4;
      bool unc = wcsncmp(plain, L"UNC\\", 4) == 0;
      if (unc) {
        plain += 2;  // \\?\UNC\server becomes \\server
        short_path[6] = L'\\';
      }
      handle = LoadImageW(nullptr, plain, type, size, size, flags | LR_LOADFROMFILE);
    }
  }
  if (!handle) handle = LoadImageA(nullptr, path, type, size, size, flags | LR_LOADFROMFILE);
  return handle;
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

namespace {

// A UTF-8 text given to the open dialog, as UTF-16: converted strictly, or
// from the system code page when it is not valid UTF-8. Empty when null.
bool AppendDialogText(const char* text, std::wstring* out) {
  if (!text) return true;
  WideText wide;
  if (!wide.Convert(text, false) && !wide.ConvertAnsi(text)) return false;
  out->append(wide.text);
  return true;
}

// A name of the dialog's result as UTF-8; from the code page when the
// strict conversion fails (an unpaired surrogate).
std::string DialogResultText(const wchar_t* wide) {
  size_t length = Utf16Length(wide);
  long bytes = Utf16ToUtf8(wide, length, nullptr, 0);
  std::string text;
  if (bytes >= 0) {
    text.resize(static_cast<size_t>(bytes) + 1);
    Utf16ToUtf8(wide, length, &text[0], text.size());
    text.resize(static_cast<size_t>(bytes));
    return text;
  }
  int ansi = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(length), nullptr, 0, nullptr,
                                 nullptr);
  if (ansi <= 0) return text;
  text.resize(static_cast<size_t>(ansi));
  WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(length), &text[0], ansi, nullptr, nullptr);
  return text;
}

// Length of a UTF-8 text cut to at most limit bytes without splitting a character.
size_t CutAtCharacter(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

}  // namespace

BOOL Utf8GetOpenFileName(Utf8OpenFileName* record) {
  if (!record || !record->file || record->max_file < 2) return FALSE;
  // The filter list: every string converted, each ended by a zero, the list
  // by one more.
  std::wstring filter;
  if (record->filter) {
    for (const char* item = record->filter; *item; item += strlen(item) + 1) {
      if (!AppendDialogText(item, &filter)) return FALSE;
      filter.push_back(L'\0');
    }
    filter.push_back(L'\0');
  }
  std::wstring initial_dir, title, default_ext, template_name;
  if (!AppendDialogText(record->initial_dir, &initial_dir) ||
      !AppendDialogText(record->title, &title) ||
      !AppendDialogText(record->default_ext, &default_ext)) {
    return FALSE;
  }
  bool template_is_name = record->template_name && !IS_INTRESOURCE(record->template_name);
  if (template_is_name && !AppendDialogText(record->template_name, &template_name)) return FALSE;

  // The wide file buffer has as many units as the caller's buffer has bytes,
  // zero-filled, starting with the caller's initial name.
  size_t units = record->max_file;
  wchar_t* file = static_cast<wchar_t*>(calloc(units + 2, sizeof(wchar_t)));
  if (!file) return FALSE;
  std::wstring initial_name;
  record->file[record->max_file - 1] = 0;
  if (record->file[0] && AppendDialogText(record->file, &initial_name) &&
      initial_name.size() < units) {
    memcpy(file, initial_name.c_str(), initial_name.size() * sizeof(wchar_t));
  }
  wchar_t* file_title = nullptr;
  if (record->file_title && record->max_file_title > 0) {
    file_title = static_cast<wchar_t*>(calloc(record->max_file_title + 1, sizeof(wchar_t)));
    if (!file_title) {
      free(file);
      return FALSE;
    }
  }

  OPENFILENAMEW wide = {};
  wide.lStructSize = sizeof wide;
  wide.hwndOwner = record->owner;
  wide.hInstance = record->instance;
  wide.lpstrFilter = record->filter ? filter.c_str() : nullptr;
  wide.nFilterIndex = record->filter_index;
  wide.lpstrFile = file;
  wide.nMaxFile = static_cast<DWORD>(units);
  wide.lpstrFileTitle = file_title;
  wide.nMaxFileTitle = file_title ? record->max_file_title : 0;
  wide.lpstrInitialDir = record->initial_dir ? initial_dir.c_str() : nullptr;
  wide.lpstrTitle = record->title ? title.c_str() : nullptr;
  wide.Flags = record->flags;
  wide.nFileOffset = record->file_offset;
  wide.nFileExtension = record->file_extension;
  wide.lpstrDefExt = record->default_ext ? default_ext.c_str() : nullptr;
  wide.lCustData = record->cust_data;
  wide.lpfnHook = record->hook;
  wide.lpTemplateName = template_is_name ? template_name.c_str()
                                         : reinterpret_cast<LPCWSTR>(record->template_name);
  wide.FlagsEx = record->flags_ex;

  BOOL result = GetOpenFileNameW(&wide);
  record->filter_index = wide.nFilterIndex;
  record->file_offset = wide.nFileOffset;
  record->file_extension = wide.nFileExtension;
  if (result && file[0] == 0) result = FALSE;   // an empty result is no choice
  if (result) {
    char* out = record->file;
    size_t size = record->max_file;
    std::string first = DialogResultText(file);
    const wchar_t* next = file + Utf16Length(file) + 1;
    bool several = (record->flags & OFN_ALLOWMULTISELECT) && *next != 0;
    if (!several) {
      // One path; cut to the buffer less two bytes when it is too long.
      size_t length = first.size() + 1 <= size ? first.size() : CutAtCharacter(first, size - 2);
      memcpy(out, first.data(), length);
      memset(out + length, 0, size - length);
    } else {
      // The folder, then the names that still fit, then one more zero.
      memset(out, 0, size);
      size_t used = 0;
      int names = 0;
      if (first.size() + 2 <= size) {
        memcpy(out, first.data(), first.size());
        used = first.size() + 1;
        for (; *next; next += Utf16Length(next) + 1) {
          std::string name = DialogResultText(next);
          if (used + name.size() + 2 > size) break;
          memcpy(out + used, name.data(), name.size());
          used += name.size() + 1;
          ++names;
        }
      }
      // Without a single name the folder alone would read as a chosen file.
      if (names == 0) {
        memset(out, 0, size);
        result = FALSE;
      }
    }
    if (result && file_title) {
      std::string name = DialogResultText(file_title);
      size_t length = CutAtCharacter(name, record->max_file_title - 1);
      memcpy(record->file_title, name.data(), length);
      record->file_title[length] = 0;
    }
  }
  free(file_title);
  free(file);
  return result;
}

std::vector<std::string> Utf8DragQueryFiles(HDROP drop) {
  std::vector<std::string> paths;
  UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::wstring path;
  for (UINT i = 0; i < count; ++i) {
    UINT length = DragQueryFileW(drop, i, nullptr, 0);
    if (length == 0) continue;
    path.assign(length + 1, L'\0');
    if (DragQueryFileW(drop, i, &path[0], length + 1) == 0) continue;
    std::string utf8 = DialogResultText(path.c_str());
    if (!utf8.empty()) paths.push_back(utf8);
  }
  return paths;
}

bool Utf8ListFolderFiles(const char* folder, std::vector<std::string>* names) {
  names->clear();
  std::string pattern(folder);
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WideText wide;
  if (!wide.ConvertPath(pattern.c_str()) && !wide.ConvertAnsi(pattern.c_str())) return false;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(wide.text, &entry);
  if (find == INVALID_HANDLE_VALUE) return false;
  std::vector<std::wstring> found;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found.push_back(entry.cFileName);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  // Explorer's order, in which "photo 9" comes before "photo 10". A merge
  // sort stays within the list whatever the comparison answers.
  std::stable_sort(found.begin(), found.end(), [](const std::wstring& a, const std::wstring& b) {
    return StrCmpLogicalW(a.c_str(), b.c_str()) < 0;
  });
  for (const std::wstring& name : found) names->push_back(DialogResultText(name.c_str()));
  return true;
}
