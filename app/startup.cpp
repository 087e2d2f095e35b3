#include "app/startup.h"

#include <objbase.h>
#include <commctrl.h>

#include <string>

#include "app/app_paths.h"
#include "app/main_window.h"
#include "auxwindows/about_window.h"
#include "auxwindows/cell_screen.h"
#include "auxwindows/changelog_window.h"
#include "auxwindows/license_window.h"
#include "base/app_state.h"
#include "base/utf8_platform.h"
#include "view/picture_control.h"

namespace {

const ATOM SYSTEM_DIALOG_ATOM = 32770;

bool FoundPortableFolder(const char* name, void* context) {
  if (!IsPortableMarkerName(name)) return false;
  *static_cast<bool*>(context) = true;
  return true;
}

// The dialog of the message's window that should handle its keyboard
// navigation: going up from the window, every system dialog is noted, and the
// walk stops at the first one that is not a child window.
HWND NavigationDialogFor(HWND window) {
  HWND noted = nullptr;
  for (HWND w = window; w;) {
    LONG style = GetWindowLongA(w, GWL_STYLE);
    if (static_cast<ATOM>(GetClassLongPtrA(w, GCW_ATOM)) == SYSTEM_DIALOG_ATOM) {
      noted = w;
      if (!(style & WS_CHILD)) break;
    }
    if (!(style & WS_CHILD)) break;
    w = GetParent(w);
  }
  return noted;
}

bool OfferToDialog(HWND dialog, MSG* message) {
  return dialog && IsDialogMessageW(dialog, message);
}

// A class this process registered before counts as registered.
bool Registered(const WNDCLASSEXA& window_class) {
  return RegisterClassExA(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The four dialog classes and the picture control's: copies of the system
// dialog class.
bool RegisterDialogClasses(HINSTANCE instance) {
  HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VISTREL));
  WNDCLASSEXA dialog_class;
  dialog_class.cbSize = sizeof dialog_class;
  if (!GetClassInfoExA(nullptr, "#32770", &dialog_class)) return false;
  dialog_class.hIcon = icon;
  dialog_class.hIconSm = nullptr;
  dialog_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  dialog_class.hInstance = instance;
  dialog_class.style = CS_DBLCLKS;
  static const char* const DIALOG_CLASSES[] = {"vistrel_superhost", "about_superhost",
                                               "license_superhost", "changelog_superhost"};
  bool all = true;
  for (const char* name : DIALOG_CLASSES) {
    dialog_class.lpszClassName = name;
    all = Registered(dialog_class) && all;
  }
  dialog_class.lpfnWndProc = PictureControlWindowProc;
  dialog_class.lpszClassName = "picture_control_superhost";
  return Registered(dialog_class) && all;
}

}  // namespace

bool RegisterWindowClasses(HINSTANCE instance) {
  bool all = RegisterDialogClasses(instance);
  return RegisterCellScreenClass(instance) && all;
}

void FindExeFolder() {
  char module_path[UTF8_PATH_BUFFER];
  if (!Utf8GetModuleFileName(g_app.instance, module_path)) module_path[0] = 0;
  g_app.exe_folder = ExeFolderFromModulePath(module_path);
}

bool IsPortableMode(const char* exe_folder) {
  std::string folder = exe_folder;
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  bool portable = false;
  Utf8ForEachDirectory(folder.c_str(), FoundPortableFolder, &portable);
  return portable;
}

bool FindSettingsLocation() {
  if (IsPortableMode(g_app.exe_folder.c_str())) {
    // The folder exists: its presence chose portable mode.
    g_app.settings_folder = PortableSettingsFolder(g_app.exe_folder);
  } else {
    char roaming[UTF8_PATH_BUFFER];
    if (!Utf8GetRoamingFolder(roaming)) return false;
    g_app.settings_folder = RoamingSettingsFolder(roaming);
    Utf8CreateDirectory(g_app.settings_folder.c_str());   // usually there already
  }
  g_app.settings_path = SettingsPathIn(g_app.settings_folder);
  return true;
}

// The loop fetches, offers and dispatches with the wide functions: a typed
// character outside the ANSI code page, or beyond U+FFFF, reaches the
// Unicode windows whole. ANSI windows still get ANSI messages, converted by
// the system.
void ProcessLoopMessage(MSG* message) {
  if (!message->hwnd) {
    DispatchMessageW(message);
    return;
  }
  if (TranslateShortcutKey(message) > 0) return;
  if (g_app.main_window && OfferToDialog(g_app.main_window->window, message)) return;
  if (g_app.about_window && OfferToDialog(g_app.about_window->window, message)) return;
  if (g_app.changelog_window && OfferToDialog(g_app.changelog_window->window, message)) return;
  if (g_app.license_window && OfferToDialog(g_app.license_window->window, message)) return;
  if (OfferToDialog(NavigationDialogFor(message->hwnd), message)) return;
  TranslateMessage(message);
  DispatchMessageW(message);
}

int RunMessageLoop() {
  MSG message;
  for (;;) {
    BOOL result = GetMessageW(&message, nullptr, 0, 0);
    if (result == 0) return static_cast<int>(message.wParam);
    if (result < 0) {
      Sleep(10);
      continue;
    }
    ProcessLoopMessage(&message);
  }
}

int RunVistrel(HINSTANCE instance) {
  g_app.instance = instance;
  CoInitialize(nullptr);
  InitCommonControls();
  // A class that could not be registered costs only the windows of that
  // class (the main window's is checked below, when it is created).
  RegisterWindowClasses(instance);
  FindExeFolder();
  if (!FindSettingsLocation()) {
    Utf8MessageBox(nullptr,
                   "Vistrel cannot retrieve user's roaming directory. Press OK to exit Vistrel.",
                   "Vistrel error");
    ExitProcess(1);
  }
  // Without its main window the program could only wait, unseen, for a quit
  // message that never comes: it ends at once instead.
  g_app.main_window = new MainWindow();
  int exit_code = CreateMainWindow(g_app.main_window) ? RunMessageLoop() : EXIT_NO_MAIN_WINDOW;
  delete g_app.main_window;
  g_app.main_window = nullptr;
  CoUninitialize();
  return exit_code;
}
