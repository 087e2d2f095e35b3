#include "tests/support/win_test_support.h"

#include <cstring>
#include <vector>

#include "app/startup.h"

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
  return out;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

std::string WindowsPath(const std::string& path) {
  std::string result = path;
  if (!result.empty() && result[0] == '/') {
    for (char& c : result) {
      if (c == '/') c = '\\';
    }
    result = "Z:" + result;
  }
  return result;
}

std::wstring LongForm(const std::string& path) {
  std::wstring wide = Wide(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  if (wide.size() >= 2 && wide[1] == L':') return L"\\\\?\\" + wide;
  return wide;
}

std::string MakeTempFolder(const std::string& tag) {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH, temp);
  static int counter = 0;
  std::string base = Utf8(temp);
  if (!base.empty() && base.back() != '\\') base += '\\';
  for (;;) {
    std::string folder = base + "vistrel-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                         std::to_string(++counter) + "-" + tag;
    if (CreateDirectoryW(LongForm(folder).c_str(), nullptr)) return folder + "\\";
    if (GetLastError() != ERROR_ALREADY_EXISTS) return std::string();
  }
}

void DeleteTree(const std::string& folder) {
  std::string base = folder;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(LongForm(base + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      std::string child = base + "\\" + Utf8(name);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(child);
      } else {
        DeleteFileW(LongForm(child).c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(LongForm(base).c_str());
}

bool CreateFolder(const std::string& path) {
  return CreateDirectoryW(LongForm(path).c_str(), nullptr) != 0;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes->append(chunk, got);
  CloseHandle(file);
  return true;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(LongForm(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PumpMessages(DWORD milliseconds, int* quit_code) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        if (quit_code) *quit_code = static_cast<int>(message.wParam);
        return false;
      }
      ProcessLoopMessage(&message);
      // A timer due again whenever the loop comes round (the decoding's)
      // keeps the queue from ever being empty.
      if (GetTickCount() - start >= milliseconds) return true;
    }
    if (GetTickCount() - start >= milliseconds) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
  DWORD start = GetTickCount();
  // Asked after every message: a timer that is due again whenever the loop
  // comes round (the decoding's) would otherwise keep the queue from ever
  // being empty.
  while (!done()) {
    if (GetTickCount() - start >= milliseconds) return done();
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message != WM_QUIT) ProcessLoopMessage(&message);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }
  return true;
}

namespace {

struct WindowSearch {
  DWORD process_id;
  const char* class_name;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lparam) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(lparam);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process_id) return TRUE;
  char name[256];
  if (!GetClassNameA(window, name, sizeof name)) return TRUE;
  if (lstrcmpiA(name, search->class_name) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

void SendKey(WORD key, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN)
    input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  SendInput(1, &input, sizeof input);
}

}  // namespace

HWND FindProcessWindow(DWORD process_id, const char* class_name) {
  WindowSearch search = {process_id, class_name, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void KeyDownInput(WORD key) {
  SendKey(key, false);
}

void KeyUpInput(WORD key) {
  SendKey(key, true);
}

void TypeUnicodeInput(const std::wstring& text) {
  for (wchar_t unit : text) {
    INPUT input[2] = {};
    for (INPUT& i : input) {
      i.type = INPUT_KEYBOARD;
      i.ki.wScan = unit;
      i.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    Sleep(20);
  }
}

std::string ClipboardText() {
  // Another process may hold the clipboard for a moment.
  bool opened = false;
  for (int i = 0; i < 50 && !(opened = OpenClipboard(nullptr)); ++i) Sleep(20);
  if (!opened) return "<closed>";
  std::string text = "<none>";
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data) {
    const wchar_t* wide = static_cast<const wchar_t*>(GlobalLock(data));
    if (wide) text = Utf8(wide);
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

bool PutOnClipboard(const std::wstring& text) {
  bool opened = false;
  for (int i = 0; i < 50 && !(opened = OpenClipboard(nullptr)); ++i) Sleep(20);
  if (!opened) return false;
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  bool stored = false;
  if (memory) {
    memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    stored = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (!stored) GlobalFree(memory);
  }
  CloseClipboard();
  return stored;
}

void PressKeys(std::initializer_list<WORD> keys, DWORD hold_ms) {
  std::vector<WORD> order(keys);
  for (WORD key : order) SendKey(key, false);
  if (hold_ms) Sleep(hold_ms);
  for (size_t i = order.size(); i-- > 0;) SendKey(order[i], true);
}

std::string IniValue(const std::string& ini_path, const char* key) {
  wchar_t value[256];
  GetPrivateProfileStringW(L"vistrel", Wide(key).c_str(), L"<missing>", value, 256,
                           Wide(ini_path).c_str());
  return Utf8(value);
}
