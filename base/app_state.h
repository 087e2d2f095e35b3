#pragma once
// The process-wide state that the windows share. Lives for the whole process
// and is touched only from the user-interface thread.
#include <windows.h>

#include <string>

struct MainWindow;
struct PictureControl;
struct AboutWindow;
struct ChangelogWindow;
struct LicenseWindow;

struct AppState {
  HINSTANCE instance;
  std::string exe_folder;        // ends with the separator before the file name
  std::string settings_folder;   // ends with a backslash
  std::string settings_path;     // settings_folder + "vistrel.ini"
  MainWindow* main_window;       // owned; created before the main dialog
  PictureControl* picture_control;   // not owned; set by the picture control's window
  AboutWindow* about_window;         // owned singletons, null while closed
  ChangelogWindow* changelog_window;
  LicenseWindow* license_window;
};

extern AppState g_app;
