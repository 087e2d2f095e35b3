#pragma once
// Starting the real vistrel.exe from a folder of the test's and ending it,
// for the tests that use the program as a person would.
#include <windows.h>

#include <string>

struct VistrelProcess {
  PROCESS_INFORMATION process = {};
  HWND window = nullptr;    // the main window
  HWND picture = nullptr;   // its picture control
};

// The vistrel.exe the build made, as a Windows path.
std::string BuiltVistrelPath();

// Copies vistrel.exe into folder and starts it there, with the given
// command-line arguments and current folder (empty: the test's own); waits
// until its main window with the picture control is shown.
bool StartVistrel(const std::string& folder, const std::string& arguments,
                  const std::string& start_in, VistrelProcess* v);

// Starts the vistrel.exe at exe as it is (an unpacked or installed copy) and
// waits as StartVistrel does.
bool StartVistrelExe(const std::string& exe, const std::string& arguments,
                     const std::string& start_in, VistrelProcess* v);

// Waits for the process to end and returns its exit code, or -1 after a
// time-out (the process is then killed). The handles are closed.
int WaitForVistrelExit(VistrelProcess* v);

// Sends the system close command (as the title bar's close button does) and
// waits for the exit code.
int CloseVistrel(VistrelProcess* v);
