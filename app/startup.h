#pragma once
// Process start-up: window classes, where the settings live, the message loop.
#include <windows.h>

// Registers the main, About, License and Changelog dialog classes (copies of
// the system dialog class with the program's icon, the arrow cursor and
// double clicks), the picture control's class and the text viewer's class.
// False when one of them could not be registered (one this process
// registered before counts); start-up goes on either way.
bool RegisterWindowClasses(HINSTANCE instance);

// Exit code of a start-up whose main window could not be created (1 is the
// missing roaming folder).
const int EXIT_NO_MAIN_WINDOW = 3;

// Fills g_app.exe_folder from the executable's path.
void FindExeFolder();

// True when a folder named exactly "portable" stands beside the executable.
bool IsPortableMode(const char* exe_folder);

// Fills g_app.settings_folder and settings_path. Returns false when not in
// portable mode and the roaming folder cannot be determined.
bool FindSettingsLocation();

// One message of the loop: shortcuts first, then dialog navigation for the
// program's dialogs and for the top-level system dialog of the message's
// window, then translation and dispatch. The message is one fetched with the
// wide functions (GetMessageW, PeekMessageW).
void ProcessLoopMessage(MSG* message);

// Fetches and dispatches messages until the quit message arrives; returns its code.
int RunMessageLoop();

// The whole program: start-up, message loop, shut-down. Returns the exit code.
int RunVistrel(HINSTANCE instance);
