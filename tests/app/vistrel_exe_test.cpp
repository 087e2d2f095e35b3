// Starts the real vistrel.exe from different folders and closes it as a user would.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/support/vistrel_process.h"
#include "tests/support/win_test_support.h"

namespace {

std::string RoamingIniPath() {
  wchar_t roaming[MAX_PATH];
  if (!SHGetSpecialFolderPathW(nullptr, roaming, CSIDL_APPDATA, FALSE)) return std::string();
  return Utf8(roaming) + "\\Vistrel\\vistrel.ini";
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
  VistrelProcess v;
  ASSERT_TRUE(StartVistrel(app, "", "", &v));
  RECT r = WindowRect(v.window);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.right - r.left, 1024);
  EXPECT_EQ(r.bottom - r.top, 768);
  char title[64] = {0};
  GetWindowTextA(v.window, title, sizeof title);
  EXPECT_STREQ(title, "Vistrel");
  EXPECT_NE(GetDlgItem(v.window, IDC_PICTURE), nullptr);
  EXPECT_EQ(CloseVistrel(&v), 0);
  ExpectFirstStartSettings(app + "portable\\vistrel.ini");
  EXPECT_FALSE(PathExists(roaming_ini_));   // the roaming folder is not used
}

TEST_F(VistrelExe, FileNamedPortableMeansRoamingMode) {
  std::string app = AppFolder("app");
  ASSERT_TRUE(WriteFileBytes(app + "portable", "not a folder"));
  VistrelProcess v;
  ASSERT_TRUE(StartVistrel(app, "", "", &v));
  SendMessageW(v.window, WM_COMMAND, CMD_EXIT, 0);
  EXPECT_EQ(WaitForVistrelExit(&v), 0);
  ExpectFirstStartSettings(roaming_ini_);
  EXPECT_FALSE(IsFolder(app + "portable"));
}

TEST_F(VistrelExe, CapitalisedPortableFolderMeansRoamingMode) {
  std::string app = AppFolder("app");
  ASSERT_TRUE(CreateFolder(app + "Portable"));
  VistrelProcess v;
  ASSERT_TRUE(StartVistrel(app, "", "", &v));
  EXPECT_EQ(CloseVistrel(&v), 0);
  ExpectFirstStartSettings(roaming_ini_);
  EXPECT_FALSE(PathExists(app + "Portable\\vistrel.ini"));
}

TEST_F(VistrelExe, FolderWithNonAsciiName) {
  std::string app = AppFolder("Bilder \xC3\xA4\xC3\xB6\xC3\xBC \xE5\x86\x99\xE7\x9C\x9F \xE2\x9C\x93");
  ASSERT_TRUE(CreateFolder(app + "portable"));
  VistrelProcess v;
  ASSERT_TRUE(StartVistrel(app, "", "", &v));
  EXPECT_EQ(CloseVistrel(&v), 0);
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
  VistrelProcess v;
  ASSERT_TRUE(StartVistrel(app, "", "", &v));
  EXPECT_EQ(CloseVistrel(&v), 0);
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
  VistrelProcess v;
  ASSERT_TRUE(StartVistrel(app, "C:\\pictures\\missing.jpg --help", "", &v));
  RECT r = WindowRect(v.window);
  EXPECT_EQ(r.left, 120);
  EXPECT_EQ(r.top, 80);
  EXPECT_EQ(r.right, 1020);
  EXPECT_EQ(r.bottom, 780);
  EXPECT_FALSE(IsZoomed(v.window));
  SetWindowPos(v.window, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
  Sleep(200);
  EXPECT_EQ(CloseVistrel(&v), 0);
  EXPECT_EQ(IniValue(ini, "main_wnd_x"), "120");
  EXPECT_EQ(IniValue(ini, "main_wnd_w"), "640");
  EXPECT_EQ(IniValue(ini, "main_wnd_h"), "480");

  // Next start: maximized, with the normal rectangle kept in the file.
  ASSERT_TRUE(WritePrivateProfileStringW(L"vistrel", L"main_wnd_maximized", L"1",
                                         Wide(ini).c_str()));
  VistrelProcess again;
  ASSERT_TRUE(StartVistrel(app, "", "", &again));
  EXPECT_TRUE(IsZoomed(again.window));
  EXPECT_EQ(CloseVistrel(&again), 0);
  EXPECT_EQ(IniValue(ini, "main_wnd_maximized"), "1");
  EXPECT_EQ(IniValue(ini, "main_wnd_w"), "640");
}

namespace {

std::string VersionString(const std::vector<char>& info, const wchar_t* name) {
  std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), key.c_str(), &value, &length) || !value) return std::string();
  return Utf8(static_cast<const wchar_t*>(value));
}

}  // namespace

// The exe's version information and manifest carry the version of project(),
// like the Version box and the About window (build_info_test).
TEST(VistrelExeResources, VersionIsTheProjects) {
  const std::string version = VISTREL_PROJECT_VERSION;
  std::wstring exe = LongForm(BuiltVistrelPath());
  DWORD size = GetFileVersionInfoSizeW(exe.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
  EXPECT_EQ(VersionString(info, L"FileVersion"), version);
  EXPECT_EQ(VersionString(info, L"ProductVersion"), version);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  int major = 0, minor = 0, patch = 0;
  ASSERT_GE(sscanf(version.c_str(), "%d.%d.%d", &major, &minor, &patch), 2);
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(minor, major)));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, patch)));
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);

  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));   // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const char* manifest = static_cast<const char*>(LockResource(LoadResource(module, found)));
  std::string text(manifest, SizeofResource(module, found));
  FreeLibrary(module);
  char identity[96];
  snprintf(identity, sizeof identity, "name=\"Vistrel.Vistrel\" version=\"%d.%d.%d.0\"", major, minor,
           patch);
  EXPECT_NE(text.find(identity), std::string::npos) << text;
}

TEST_F(VistrelExe, CtrlQEndsIt) {
  std::string app = AppFolder("app");
  ASSERT_TRUE(CreateFolder(app + "portable"));
  VistrelProcess v;
  ASSERT_TRUE(StartVistrel(app, "", "", &v));
  SetForegroundWindow(v.window);
  Sleep(200);
  PressKeys({VK_CONTROL, 'Q'}, 500);
  EXPECT_EQ(WaitForVistrelExit(&v), 0);
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
  ASSERT_TRUE(CopyFileW(LongForm(BuiltVistrelPath()).c_str(), LongForm(exe).c_str(), FALSE));
  std::wstring command = L"\"" + Wide(exe) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  VistrelProcess v;
  ASSERT_TRUE(CreateProcessW(LongForm(exe).c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &v.process));
  // The box is found once it is shown: while it is being built its caption
  // and texts are not set yet.
  HWND box = nullptr;
  for (int i = 0; i < 400; ++i) {
    box = FindProcessWindow(v.process.dwProcessId, "#32770");
    if (box && IsWindowVisible(box)) break;
    box = nullptr;
    Sleep(25);
  }
  ASSERT_NE(box, nullptr);
  Sleep(100);
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
  EXPECT_EQ(WaitForVistrelExit(&v), 1);
  EXPECT_FALSE(PathExists(roaming_ini_));
}

TEST_F(NoRoamingFolder, PortableModeNeverAsksForTheRoamingFolder) {
  std::string app = AppFolder("app");
  ASSERT_TRUE(CreateFolder(app + "portable"));
  VistrelProcess v;
  ASSERT_TRUE(StartVistrel(app, "", "", &v));
  EXPECT_EQ(CloseVistrel(&v), 0);
  ExpectFirstStartSettings(app + "portable\\vistrel.ini");
}
