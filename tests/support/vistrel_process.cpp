#include "tests/support/vistrel_process.h"

#include "resources/resource_ids.h"
#include "tests/support/win_test_support.h"

namespace {

// Wine's CreateProcess cannot start a program whose path is longer than
// MAX_PATH, but its loader, started as a Unix program, can: the program then
// runs in the same Wine session and is found by its window.
bool StartThroughWineLoader(const std::string& exe, VistrelProcess* v) {
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
                      &loader))
    return false;
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

}  // namespace

std::string BuiltVistrelPath() {
  return WindowsPath(VISTREL_EXE_PATH);
}

bool StartVistrel(const std::string& folder, const std::string& arguments,
                  const std::string& start_in, VistrelProcess* v) {
  std::string exe = folder + "vistrel.exe";
  if (!CopyFileW(LongForm(BuiltVistrelPath()).c_str(), LongForm(exe).c_str(), FALSE)) return false;
  return StartVistrelExe(exe, arguments, start_in, v);
}

bool StartVistrelExe(const std::string& exe, const std::string& arguments,
                     const std::string& start_in, VistrelProcess* v) {
  std::wstring command = L"\"" + Wide(exe) + L"\"";
  if (!arguments.empty()) command += L" " + Wide(arguments);
  std::wstring current = Wide(start_in);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (CreateProcessW(LongForm(exe).c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                     current.empty() ? nullptr : current.c_str(), &startup, &v->process)) {
    WaitForInputIdle(v->process.hProcess, 10000);
  } else if (!StartThroughWineLoader(exe, v)) {
    return false;
  }
  for (int i = 0; i < 400 && !v->window; ++i) {
    v->window = FindProcessWindow(v->process.dwProcessId, "vistrel_superhost");
    if (!v->window) Sleep(25);
  }
  if (!v->window) return false;
  // Give it time to finish placing and showing itself.
  for (int i = 0; i < 200 && !IsWindowVisible(v->window); ++i) Sleep(10);
  v->picture = GetDlgItem(v->window, IDC_PICTURE);
  Sleep(300);
  return v->picture != nullptr;
}

int WaitForVistrelExit(VistrelProcess* v) {
  DWORD code = static_cast<DWORD>(-1);
  if (!v->process.hProcess) return -1;
  if (WaitForSingleObject(v->process.hProcess, 20000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(v->process.hProcess, &code);
  } else {
    TerminateProcess(v->process.hProcess, 99);
    WaitForSingleObject(v->process.hProcess, 5000);
  }
  if (v->process.hThread) CloseHandle(v->process.hThread);
  CloseHandle(v->process.hProcess);
  v->process = PROCESS_INFORMATION();
  return static_cast<int>(code);
}

int CloseVistrel(VistrelProcess* v) {
  PostMessageW(v->window, WM_SYSCOMMAND, SC_CLOSE, 0);
  return WaitForVistrelExit(v);
}
