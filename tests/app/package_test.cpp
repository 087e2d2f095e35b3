// The two release packages as a user takes them: the portable ZIP unpacked
// and run; the installer run silently, started program, installed again over
// itself, and removed with the uninstaller the system's list of programs
// names.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/support/vistrel_process.h"
#include "tests/support/win_test_support.h"
#include "tests/support/zip_archive.h"

namespace {

const wchar_t UNINSTALL_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vistrel";
const DWORD RUN_TIMEOUT_MS = 120000;

std::string SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH];
  if (!SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) return std::string();
  return Utf8(path);
}

std::string RoamingSettingsFolder() {
  return SpecialFolder(CSIDL_APPDATA) + "\\Vistrel";
}

std::string StartMenuShortcut() {
  return SpecialFolder(CSIDL_PROGRAMS) + "\\Vistrel.lnk";
}

std::string DefaultInstallFolder() {
  return SpecialFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Vistrel";
}

// So that "not created" and "kept" speak of this test's own run.
void RemoveRoamingSettings() {
  DeleteFileW(LongForm(RoamingSettingsFolder() + "\\vistrel.ini").c_str());
  RemoveDirectoryW(LongForm(RoamingSettingsFolder()).c_str());
}

std::string ResourceText(const char* name) {
  std::string text;
  ReadFileBytes(WindowsPath(std::string(VISTREL_RESOURCES) + "/" + name), &text);
  return text;
}

std::string FileText(const std::string& path) {
  std::string text;
  if (!ReadFileBytes(path, &text)) return "<missing>";
  return text;
}

// Names of the entries of a folder (without "." and ".."), sorted.
std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(LongForm(folder + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(Utf8(name));
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

// The ProductVersion text of a file's version information.
std::string ProductVersion(const std::string& path) {
  std::wstring wide = Wide(path);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &handle);
  if (size == 0) return "<none>";
  std::vector<char> info(size);
  if (!GetFileVersionInfoW(wide.c_str(), 0, size, info.data())) return "<none>";
  WORD* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &length) ||
      length < 4)
    return "<none>";
  wchar_t query[64];
  wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\ProductVersion", translation[0], translation[1]);
  wchar_t* value = nullptr;
  if (!VerQueryValueW(info.data(), query, reinterpret_cast<void**>(&value), &length)) return "<none>";
  return Utf8(value);
}

bool HasIcon(const std::string& exe, int icon_id) {
  HMODULE module = LoadLibraryExW(Wide(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return false;
  bool found = FindResourceA(module, MAKEINTRESOURCEA(icon_id), RT_GROUP_ICON) != nullptr;
  FreeLibrary(module);
  return found;
}

std::string UninstallValue(const wchar_t* name) {
  wchar_t value[1024];
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, UNINSTALL_KEY, name, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return "<missing>";
  return Utf8(value);
}

bool UninstallEntryExists() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, UNINSTALL_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// The program a shortcut starts, or "<unreadable>".
std::string ShortcutTarget(const std::string& lnk) {
  std::string target = "<unreadable>";
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      wchar_t path[MAX_PATH] = {0};
      if (SUCCEEDED(file->Load(Wide(lnk).c_str(), STGM_READ)) &&
          SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0)))
        target = Utf8(path);
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return target;
}

// Runs a command line and waits, at most RUN_TIMEOUT_MS, for the process and
// every process it starts (an NSIS uninstaller restarts itself from a copy in
// the temporary folder). Returns the first process's exit code, or -1 after
// a time-out, when the processes are ended.
int RunAndWait(const std::string& command_line) {
  std::wstring command = Wide(command_line);
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!job || !CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                              nullptr, nullptr, &startup, &process)) {
    if (job) CloseHandle(job);
    return -1;
  }
  AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  DWORD start = GetTickCount();
  DWORD code = static_cast<DWORD>(-1);
  bool ended = WaitForSingleObject(process.hProcess, RUN_TIMEOUT_MS) == WAIT_OBJECT_0;
  if (ended) GetExitCodeProcess(process.hProcess, &code);
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
  while (ended && QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                            sizeof accounting, nullptr) &&
         accounting.ActiveProcesses > 0) {
    if (GetTickCount() - start > RUN_TIMEOUT_MS) ended = false;
    Sleep(100);
  }
  if (!ended) {
    TerminateJobObject(job, 99);
    code = static_cast<DWORD>(-1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(job);
  return static_cast<int>(code);
}

// Waits, at most 30 seconds, until the uninstaller has removed the entry and
// the file (should waiting for its processes not have sufficed).
bool WaitUntilUninstalled(const std::string& path) {
  for (int i = 0; i < 300 && (PathExists(path) || UninstallEntryExists()); ++i) Sleep(100);
  return !PathExists(path) && !UninstallEntryExists();
}

void ExpectFirstStartSettings(const std::string& ini) {
  EXPECT_EQ(IniValue(ini, "main_wnd_x"), "50");
  EXPECT_EQ(IniValue(ini, "main_wnd_w"), "1024");
  EXPECT_EQ(IniValue(ini, "main_wnd_h"), "768");
  EXPECT_EQ(IniValue(ini, "main_wnd_maximized"), "0");
}

const std::vector<std::string> INSTALLED_FILES = {"changelog.txt", "documentation.txt", "license.txt",
                                                  "uninstall.exe", "vistrel.exe"};

void ExpectProgramFiles(const std::string& folder) {
  for (const char* name : {"documentation.txt", "license.txt", "changelog.txt"}) {
    EXPECT_TRUE(FileText(folder + "\\" + name) == ResourceText(name)) << folder << "\\" << name;
  }
  EXPECT_EQ(ProductVersion(folder + "\\vistrel.exe"), VISTREL_VERSION);
  EXPECT_TRUE(HasIcon(folder + "\\vistrel.exe", IDI_VISTREL));
}

}  // namespace

TEST(PortableZip, UnpackedProgramKeepsItsSettingsInPortable) {
  std::string folder = MakeTempFolder("zip");
  ASSERT_FALSE(folder.empty());
  std::vector<std::string> names;
  ASSERT_TRUE(ExtractZip(WindowsPath(VISTREL_PORTABLE_ZIP), folder, &names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Vistrel/", "Vistrel/changelog.txt",
                                             "Vistrel/documentation.txt", "Vistrel/license.txt",
                                             "Vistrel/portable/", "Vistrel/vistrel.exe"}));
  std::string app = folder + "Vistrel";
  ExpectProgramFiles(app);
  EXPECT_TRUE(IsFolder(app + "\\portable"));
  EXPECT_TRUE(FolderEntries(app + "\\portable").empty());

  RemoveRoamingSettings();
  ASSERT_FALSE(PathExists(RoamingSettingsFolder()));
  VistrelProcess v;
  ASSERT_TRUE(StartVistrelExe(app + "\\vistrel.exe", "", "", &v));
  SetForegroundWindow(v.window);
  Sleep(200);
  PressKeys({VK_CONTROL, 'Q'}, 500);
  EXPECT_EQ(WaitForVistrelExit(&v), 0);
  ExpectFirstStartSettings(app + "\\portable\\vistrel.ini");
  EXPECT_EQ(FolderEntries(app + "\\portable"), std::vector<std::string>{"vistrel.ini"});
  EXPECT_FALSE(PathExists(RoamingSettingsFolder()));
  DeleteTree(folder);
}

namespace {

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    setup_ = WindowsPath(VISTREL_SETUP_EXE);
    folder_ = MakeTempFolder("setup");
    ASSERT_FALSE(folder_.empty());
    install_ = folder_ + "Vistrel";
    ASSERT_FALSE(SpecialFolder(CSIDL_PROGRAMS).empty());
    RemoveLeftovers();
  }
  void TearDown() override {
    RemoveLeftovers();
    DeleteTree(folder_);
  }
  // What an earlier, failed run may have left in the tests' Wine prefix.
  void RemoveLeftovers() {
    RegDeleteTreeW(HKEY_CURRENT_USER, UNINSTALL_KEY);
    DeleteFileW(Wide(StartMenuShortcut()).c_str());
    DeleteTree(DefaultInstallFolder());
    RemoveRoamingSettings();
  }

  std::string setup_;
  std::string folder_;
  std::string install_;
};

}  // namespace

TEST_F(Installer, SetupCarriesVersionAndIcon) {
  EXPECT_EQ(ProductVersion(setup_), VISTREL_VERSION);
  EXPECT_GE(ExtractIconExW(Wide(setup_).c_str(), -1, nullptr, nullptr, 0), 1u);
}

namespace {

BOOL CALLBACK FindRichEdit(HWND child, LPARAM lparam) {
  char name[64] = {0};
  GetClassNameA(child, name, sizeof name);
  if (strncmp(name, "RichEdit", 8) != 0 || !IsWindowVisible(child)) return TRUE;
  *reinterpret_cast<HWND*>(lparam) = child;
  return FALSE;
}

}  // namespace

TEST_F(Installer, ShowsTheLicenseFirstAndCancelsCleanly) {
  std::wstring command = L"\"" + Wide(setup_) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  VistrelProcess setup;
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &setup.process));
  HWND license = nullptr;
  for (int i = 0; i < 400 && !license; ++i) {
    setup.window = FindProcessWindow(setup.process.dwProcessId, "#32770");
    if (setup.window && IsWindowVisible(setup.window))
      EnumChildWindows(setup.window, FindRichEdit, reinterpret_cast<LPARAM>(&license));
    if (!license) Sleep(25);
  }
  if (!license) TerminateProcess(setup.process.hProcess, 99);
  ASSERT_NE(license, nullptr);
  wchar_t title[128] = {0};
  GetWindowTextW(setup.window, title, 128);
  EXPECT_EQ(Utf8(title).rfind(std::string("Vistrel ") + VISTREL_VERSION + " Setup", 0), 0u)
      << Utf8(title);
  // The page fills its text box after showing it; the text of another
  // process's control comes only through the message itself.
  wchar_t text[256] = {0};
  DWORD_PTR length = 0;
  for (int i = 0; i < 200 && length == 0; ++i) {
    SendMessageTimeoutW(license, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000,
                        &length);
    if (length == 0) Sleep(25);
  }
  std::string shown = Utf8(text);
  std::string license_start = ResourceText("license.txt").substr(0, 40);
  EXPECT_EQ(shown.substr(0, license_start.size()), license_start);

  PostMessageW(setup.window, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(WaitForVistrelExit(&setup), 1);  // NSIS: cancelled by the user
  EXPECT_FALSE(PathExists(DefaultInstallFolder()));
  EXPECT_FALSE(UninstallEntryExists());
}

TEST_F(Installer, InstallsRunsUpdatesInPlaceAndUninstalls) {
  ASSERT_EQ(RunAndWait("\"" + setup_ + "\" /S /D=" + install_), 0);

  // The files, and nothing else.
  EXPECT_EQ(FolderEntries(install_), INSTALLED_FILES);
  ExpectProgramFiles(install_);
  EXPECT_EQ(ShortcutTarget(StartMenuShortcut()), install_ + "\\vistrel.exe");

  // The entry in the list of installed programs.
  EXPECT_EQ(UninstallValue(L"DisplayName"), "Vistrel");
  EXPECT_EQ(UninstallValue(L"DisplayVersion"), VISTREL_VERSION);
  EXPECT_EQ(UninstallValue(L"Publisher"), "The Vistrel developers");
  EXPECT_EQ(UninstallValue(L"DisplayIcon"), install_ + "\\vistrel.exe");
  EXPECT_EQ(UninstallValue(L"InstallLocation"), install_);
  EXPECT_EQ(UninstallValue(L"UninstallString"), "\"" + install_ + "\\uninstall.exe\"");
  EXPECT_EQ(UninstallValue(L"QuietUninstallString"), "\"" + install_ + "\\uninstall.exe\" /S");
  DWORD installed_bytes = 0;
  for (const std::string& name : INSTALLED_FILES) {
    installed_bytes += static_cast<DWORD>(FileText(install_ + "\\" + name).size());
  }
  DWORD estimated_kb = 0;
  DWORD size = sizeof estimated_kb;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, UNINSTALL_KEY, L"EstimatedSize", RRF_RT_REG_DWORD,
                         nullptr, &estimated_kb, &size),
            ERROR_SUCCESS);
  EXPECT_NEAR(estimated_kb, installed_bytes / 1024, 5);

  // The installed program starts in roaming mode and saves its settings there.
  VistrelProcess v;
  ASSERT_TRUE(StartVistrelExe(install_ + "\\vistrel.exe", "", "", &v));
  EXPECT_EQ(CloseVistrel(&v), 0);
  std::string ini = RoamingSettingsFolder() + "\\vistrel.ini";
  ExpectFirstStartSettings(ini);

  // Installing again, without naming the folder, replaces the files in place.
  ASSERT_TRUE(WriteFileBytes(install_ + "\\documentation.txt", "an older version"));
  ASSERT_EQ(RunAndWait("\"" + setup_ + "\" /S"), 0);
  EXPECT_EQ(FolderEntries(install_), INSTALLED_FILES);
  ExpectProgramFiles(install_);
  EXPECT_FALSE(PathExists(DefaultInstallFolder()));
  EXPECT_EQ(UninstallValue(L"InstallLocation"), install_);

  // The uninstaller the system's list names removes all it installed and
  // leaves the user's settings alone.
  std::string quiet_uninstall = UninstallValue(L"QuietUninstallString");
  ASSERT_EQ(RunAndWait(quiet_uninstall), 0);
  EXPECT_TRUE(WaitUntilUninstalled(install_));
  EXPECT_FALSE(PathExists(StartMenuShortcut()));
  EXPECT_FALSE(UninstallEntryExists());
  ExpectFirstStartSettings(ini);
}

TEST_F(Installer, InstallsIntoTheUsersProgramsFolderByDefault) {
  ASSERT_EQ(RunAndWait("\"" + setup_ + "\" /S"), 0);
  std::string installed = DefaultInstallFolder();
  EXPECT_EQ(FolderEntries(installed), INSTALLED_FILES);
  EXPECT_EQ(UninstallValue(L"InstallLocation"), installed);
  EXPECT_EQ(ShortcutTarget(StartMenuShortcut()), installed + "\\vistrel.exe");

  // A folder the user made in there (here: for portable settings) stays.
  ASSERT_TRUE(CreateFolder(installed + "\\portable"));
  ASSERT_TRUE(WriteFileBytes(installed + "\\portable\\vistrel.ini", "[vistrel]\r\nmain_wnd_x=7\r\n"));
  ASSERT_EQ(RunAndWait(UninstallValue(L"QuietUninstallString")), 0);
  EXPECT_TRUE(WaitUntilUninstalled(installed + "\\vistrel.exe"));
  EXPECT_EQ(FolderEntries(installed), std::vector<std::string>{"portable"});
  EXPECT_EQ(IniValue(installed + "\\portable\\vistrel.ini", "main_wnd_x"), "7");
  EXPECT_FALSE(UninstallEntryExists());
}
