// Starts the real vistrel.exe from different folders and closes it as a user would.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "tests/support/win_test_support.h"

namespace {

// Where the build put vistrel.exe; a Unix path when the tests run under Wine.
std::string BuiltExePath() {
  std::string path = VISTREL_EXE_PATH;
  if (!path.empty() && path[0] == '/') {
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    path = "Z:" + path;
  }
  return path;
}

std::string RoamingIniPath() {
  wchar_t roaming[MAX_PATH];
  if (!SHGetSpecialFolderPathW(nullptr, roaming, CSIDL_APPDATA, FALSE)) return std::string();
  return Utf8(roaming) + "\\Vistrel\\vistrel.ini";
}

struct Vistrel {
  PROCESS_INFORMATION process = {};
  HWND window = nullptr;
};

// Wine's CreateProcess cannot start a program whose path is longer than
// MAX_PATH, but its loader, started as a Unix program, can: the program then
// runs in the same Wine session, and is found by its window.
bool StartThroughWineLoader(const std::string& exe, Vistrel* v) {
  typedef char*(CDECL * UnixNameFn)(LPCWSTR);
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  UnixNameFn unix_name = reinterpret_cast<UnixNameFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "wine_get_unix_file_name")));
  if (!unix_name) return false;
  char* exe_unix = unix_name(LongForm(exe).c_str());
  if (!exe_unix) return false;
  std::wstring command = L"Z:\\bin\\sh -c \"exec /usr/bin/wine '" + Wide(exe_unix) + L"'\"";
  HeapFree(GetProcessHeap(), 0, exe_unix);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION loader = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &loader)) {
    fprintf(stderr, "loader failed %lu\n", GetLastError());
    return false;
  }
  if (loader.hThread) CloseHandle(loader.hThread);
  if (loader.hProcess) CloseHandle(loader.hProcess);
  for (int i = 0; i < 400; ++i) {
    HWND window = FindWindowA("vistrel_superhost", nullptr);
    if (window) {
      DWORD process_id = 0;
      GetWindowThreadProcessId(window, &process_id);
      v->process.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE,
                                        FALSE, process_id);
      v->process.dwProcessId = process_id;
      return v->process.hProcess != nullptr;
    }
    Sleep(25);
  }
  return false;
}

// Copies vistrel.exe into folder and starts it there; waits for its main window.
bool Start(const std::string& folder, const std::string& arguments, Vistrel* v) {
  std::string exe = folder + "vistrel.exe";
  if (!CopyFileW(LongForm(BuiltExePath()).c_str(), LongForm(exe).c_str(), FALSE)) {
    fprintf(stderr, "copy failed %lu\n", GetLastError());
    return false;
  }
  std::wstring command = L"\"" + Wide(exe) + L"\"";
  if (!arguments.empty()) command += L" " + Wide(arguments);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring application = LongForm(exe);
  if (CreateProcessW(application.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                     nullptr, &startup, &v->process)) {
    WaitForInputIdle(v->process.hProcess, 10000);
  } else if (!StartThroughWineLoader(exe, v)) {
    return false;
  }
  for (int i = 0; i < 400 && !v->window; ++i) {
    v->window = FindProcessWindow(v->process.dwProcessId, "vistrel_superhost");
    if (!v->window) Sleep(25);
  }
  if (v->window) {
    // Give it time to finish placing and showing itself.
    for (int i = 0; i < 200 && !IsWindowVisible(v->window); ++i) Sleep(10);
    Sleep(200);
  }
  return v->window != nullptr;
}

// Waits for the process to end; returns its exit code, or -1 after a time-out
// (the process is then killed).
int WaitForExit(Vistrel* v) {
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(v->process.hProcess, 20000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(v->process.hProcess, &code);
  } else {
    TerminateProcess(v->process.hProcess, 99);
    WaitForSingleObject(v->process.hProcess, 5000);
  }
  if (v->process.hThread) CloseHandle(v->process.hThread);
  CloseHandle(v->process.hProcess);
  return static_cast<int>(code);
}

int CloseWithSystemCommand(Vistrel* v) {
  PostMessageW(v->window, WM_SYSCOMMAND, SC_CLOSE, 0);
  return WaitForExit(v);
}

RECT WindowRect(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return r;
}

class VistrelExe : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTempFolder("exe");
    ASSERT_FALSE(folder_.empty());
    roaming_ini_ = RoamingIniPath();
    ASSERT_FALSE(roaming_ini_.empty());
    DeleteFileW(LongForm(roaming_ini_).c_str());
  }
  void TearDown() override {
    DeleteTree(folder_);
    DeleteFileW(LongForm(roaming_ini_).c_str());
  }

  // A folder for the exe, created under the test's folder.
  std::string AppFolder(const std::string& name) {
    std::string folder = folder_ + name + "\\";
    EXPECT_TRUE(CreateFolder(folder));
    return folder;
  }

  void ExpectFirstStartSettings(const std::string& ini) {
    EXPECT_EQ(IniValue(ini, "main_wnd_maximized"), "0");
    EXPECT_EQ(IniValue(ini, "main_wnd_x"), "50");
    EXPECT_EQ(IniValue(ini, "main_wnd_y"), "50");
    EXPECT_EQ(IniValue(ini, "main_wnd_w"), "1024");
    EXPECT_EQ(IniValue(ini, "main_wnd_h"), "768");
  }

  std::string folder_;
  std::string roaming_ini_;
};

}  // namespace

TEST_F(VistrelExe, PortableFolderKeepsTheSettingsBesideTheExe) {
  std::string app = AppFolder("app");
  ASSERT_TRUE(CreateFolder(app + "portable"));
  Vistrel v;
  ASSERT_TRUE(Start(app, "", &v));
  RECT r = WindowRect(v.window);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.right - r.left, 1024);
  EXPECT_EQ(r.bottom - r.top, 768);
  char title[64] = {0};
  GetWindowTextA(v.window, title, sizeof title);
  EXPECT_STREQ(title, "Vistrel");
  EXPECT_NE(GetDlgItem(v.window, IDC_PICTURE), nullptr);
  EXPECT_EQ(CloseWithSystemCommand(&v), 0);
  ExpectFirstStartSettings(app + "portable\\vistrel.ini");
  EXPECT_FALSE(PathExists(roaming_ini_));   // the roaming folder is not used
}

TEST_F(VistrelExe, FileNamedPortableMeansRoamingMode) {
  std::string app = AppFolder("app");
  ASSERT_TRUE(WriteFileBytes(app + "portable", "not a folder"));
  Vistrel v;
  ASSERT_TRUE(Start(app, "", &v));
  SendMessageW(v.window, WM_COMMAND, CMD_EXIT, 0);
  EXPECT_EQ(WaitForExit(&v), 0);
  ExpectFirstStartSettings(roaming_ini_);
  EXPECT_FALSE(IsFolder(app + "portable"));
}

TEST_F(VistrelExe, CapitalisedPortableFolderMeansRoamingMode) {
  std::string app = AppFolder("app");
  ASSERT_TRUE(CreateFolder(app + "Portable"));
  Vistrel v;
  ASSERT_TRUE(Start(app, "", &v));
  EXPECT_EQ(CloseWithSystemCommand(&v), 0);
  ExpectFirstStartSettings(roaming_ini_);
  EXPECT_FALSE(PathExists(app + "Portable\\vistrel.ini"));
}

TEST_F(VistrelExe, FolderWithNonAsciiName) {
  std::string app = AppFolder("Bilder \xC3\xA4\xC3\xB6\xC3\xBC \xE5\x86\x99\xE7\x9C\x9F \xE2\x9C\x93");
  ASSERT_TRUE(CreateFolder(app + "portable"));
  Vistrel v;
  ASSERT_TRUE(Start(app, "", &v));
  EXPECT_EQ(CloseWithSystemCommand(&v), 0);
  ExpectFirstStartSettings(app + "portable\\vistrel.ini");
  EXPECT_FALSE(PathExists(roaming_ini_));
}

TEST_F(VistrelExe, FolderPathOf256CharactersOrMore) {
  std::string app = folder_;
  while (app.size() < 280) {
    app += std::string(50, 'd') + "\\";
    ASSERT_TRUE(CreateFolder(app));
  }
  ASSERT_GE(app.size(), 256u);
  ASSERT_TRUE(CreateFolder(app + "portable"));
  Vistrel v;
  ASSERT_TRUE(Start(app, "", &v));
  EXPECT_EQ(CloseWithSystemCommand(&v), 0);
  // The portable check works through the long-path form (the roaming folder
  // stays untouched); the settings functions get the plain path, which is
  // too long for them, so nothing is stored and the defaults apply.
  EXPECT_FALSE(PathExists(roaming_ini_));
  EXPECT_FALSE(PathExists(app + "portable\\vistrel.ini"));
}

TEST_F(VistrelExe, RemembersPlacementAndIgnoresArguments) {
  std::string app = AppFolder("app");
  ASSERT_TRUE(CreateFolder(app + "portable"));
  std::string ini = app + "portable\\vistrel.ini";
  ASSERT_TRUE(WriteFileBytes(ini,
                             "[vistrel]\r\nmain_wnd_x=120\r\nmain_wnd_y=80\r\nmain_wnd_w=900\r\n"
                             "main_wnd_h=700\r\nmain_wnd_maximized=0\r\n"));
  Vistrel v;
  ASSERT_TRUE(Start(app, "C:\\pictures\\missing.jpg --help", &v));
  RECT r = WindowRect(v.window);
  EXPECT_EQ(r.left, 120);
  EXPECT_EQ(r.top, 80);
  EXPECT_EQ(r.right, 1020);
  EXPECT_EQ(r.bottom, 780);
  EXPECT_FALSE(IsZoomed(v.window));
  SetWindowPos(v.window, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
  Sleep(200);
  EXPECT_EQ(CloseWithSystemCommand(&v), 0);
  EXPECT_EQ(IniValue(ini, "main_wnd_x"), "120");
  EXPECT_EQ(IniValue(ini, "main_wnd_w"), "640");
  EXPECT_EQ(IniValue(ini, "main_wnd_h"), "480");

  // Next start: maximized, with the normal rectangle kept in the file.
  ASSERT_TRUE(WritePrivateProfileStringW(L"vistrel", L"main_wnd_maximized", L"1",
                                         Wide(ini).c_str()));
  Vistrel again;
  ASSERT_TRUE(Start(app, "", &again));
  EXPECT_TRUE(IsZoomed(again.window));
  EXPECT_EQ(CloseWithSystemCommand(&again), 0);
  EXPECT_EQ(IniValue(ini, "main_wnd_maximized"), "1");
  EXPECT_EQ(IniValue(ini, "main_wnd_w"), "640");
}

TEST_F(VistrelExe, CtrlQEndsIt) {
  std::string app = AppFolder("app");
  ASSERT_TRUE(CreateFolder(app + "portable"));
  Vistrel v;
  ASSERT_TRUE(Start(app, "", &v));
  SetForegroundWindow(v.window);
  Sleep(200);
  PressKeys({VK_CONTROL, 'Q'}, 500);
  EXPECT_EQ(WaitForExit(&v), 0);
  ExpectFirstStartSettings(app + "portable\\vistrel.ini");
}

namespace {

const wchar_t USER_SHELL_FOLDERS[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// Points the user's roaming folder somewhere that does not exist while the
// test runs, so that the platform cannot tell it.
class NoRoamingFolder : public VistrelExe {
 protected:
  void SetUp() override {
    VistrelExe::SetUp();
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, USER_SHELL_FOLDERS, 0, KEY_READ | KEY_WRITE, &key),
              ERROR_SUCCESS);
    DWORD size = sizeof saved_;
    DWORD type = 0;
    had_value_ = RegQueryValueExW(key, L"AppData", nullptr, &type, reinterpret_cast<BYTE*>(saved_),
                                  &size) == ERROR_SUCCESS;
    saved_size_ = size;
    saved_type_ = type;
    const wchar_t nowhere[] = L"Q:\\no roaming folder";
    RegSetValueExW(key, L"AppData", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(nowhere),
                   sizeof nowhere);
    RegCloseKey(key);
  }
  void TearDown() override {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, USER_SHELL_FOLDERS, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
      if (had_value_) {
        RegSetValueExW(key, L"AppData", 0, saved_type_, reinterpret_cast<const BYTE*>(saved_),
                       saved_size_);
      } else {
        RegDeleteValueW(key, L"AppData");
      }
      RegCloseKey(key);
    }
    VistrelExe::TearDown();
  }
  wchar_t saved_[1024] = {0};
  DWORD saved_size_ = 0;
  DWORD saved_type_ = 0;
  bool had_value_ = false;
};

BOOL CALLBACK CollectChildText(HWND child, LPARAM lparam) {
  wchar_t text[512];
  GetWindowTextW(child, text, 512);
  *reinterpret_cast<std::string*>(lparam) += Utf8(text) + "|";
  return TRUE;
}

}  // namespace

TEST_F(NoRoamingFolder, StartUpErrorEndsWithExitCodeOne) {
  std::string app = AppFolder("app");
  std::string exe = app + "vistrel.exe";
  ASSERT_TRUE(CopyFileW(LongForm(BuiltExePath()).c_str(), LongForm(exe).c_str(), FALSE));
  std::wstring command = L"\"" + Wide(exe) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  Vistrel v;
  ASSERT_TRUE(CreateProcessW(LongForm(exe).c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &v.process));
  HWND box = nullptr;
  for (int i = 0; i < 400 && !box; ++i) {
    box = FindProcessWindow(v.process.dwProcessId, "#32770");
    if (!box) Sleep(25);
  }
  ASSERT_NE(box, nullptr);
  wchar_t caption[128];
  GetWindowTextW(box, caption, 128);
  EXPECT_EQ(Utf8(caption), "Vistrel error");
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
  std::string texts;
  EnumChildWindows(box, CollectChildText, reinterpret_cast<LPARAM>(&texts));
  EXPECT_NE(texts.find("Vistrel cannot retrieve user's roaming directory. Press OK to exit Vistrel."),
            std::string::npos)
      << texts;
  // No window of the program exists while the error shows.
  EXPECT_EQ(FindProcessWindow(v.process.dwProcessId, "vistrel_superhost"), nullptr);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(WaitForExit(&v), 1);
  EXPECT_FALSE(PathExists(roaming_ini_));
}

TEST_F(NoRoamingFolder, PortableModeNeverAsksForTheRoamingFolder) {
  std::string app = AppFolder("app");
  ASSERT_TRUE(CreateFolder(app + "portable"));
  Vistrel v;
  ASSERT_TRUE(Start(app, "", &v));
  EXPECT_EQ(CloseWithSystemCommand(&v), 0);
  ExpectFirstStartSettings(app + "portable\\vistrel.ini");
}
