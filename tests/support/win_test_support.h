#pragma once
// Helpers for the tests that run under Windows (or Wine): temporary folders,
// files, message pumping, windows of other processes, key input.
#include <windows.h>

#include <functional>
#include <string>

// UTF-8 <-> UTF-16 for test code.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// A Windows path for a path the build knows in Unix form (under Wine the
// Unix root is drive Z:).
std::string WindowsPath(const std::string& path);

// A fresh, empty folder under the temporary folder, ending with a backslash.
// tag is part of its name.
std::string MakeTempFolder(const std::string& tag);
// Deletes a folder and everything in it (long paths too).
void DeleteTree(const std::string& folder);

// Wide path call helpers that accept long paths.
std::wstring LongForm(const std::string& path);
bool CreateFolder(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool ReadFileBytes(const std::string& path, std::string* bytes);
bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);

// Processes this thread's messages for the given time, through the
// program's own loop step. Returns false when WM_QUIT arrived (its code is
// stored in *quit_code when given).
bool PumpMessages(DWORD milliseconds, int* quit_code = nullptr);
// Pumps until done() is true or the time is up; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds);

// The first top-level window of the given class that belongs to process_id.
HWND FindProcessWindow(DWORD process_id, const char* class_name);

// Key input through the system's input queue, as a user would type it.
// All keys down in order, held for hold_ms, then up in reverse order. The
// program reads modifier keys when it handles the key message, so another
// process needs the keys held for a moment.
void PressKeys(std::initializer_list<WORD> keys, DWORD hold_ms = 0);
void KeyDownInput(WORD key);
void KeyUpInput(WORD key);
// Text typed as an input method, the touch keyboard or the emoji panel types
// it: each UTF-16 unit (both halves of a surrogate pair) as a Unicode key
// event, pressed and released.
void TypeUnicodeInput(const std::wstring& text);

// The clipboard's Unicode text as UTF-8 ("<none>" without one, "<closed>"
// when the clipboard cannot be opened); putting text on it.
std::string ClipboardText();
bool PutOnClipboard(const std::wstring& text);

// Value of key in section "vistrel" of an INI file, or "<missing>".
std::string IniValue(const std::string& ini_path, const char* key);
