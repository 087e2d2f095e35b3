#include "tests/support/main_window_fixture.h"

#include "app/main_window.h"
#include "app/startup.h"
#include "base/app_state.h"
#include "tests/support/win_test_support.h"
#include "view/picture_control.h"

void MainWindowFixture::SetUpTestSuite() {
  g_app.instance = GetModuleHandleA(nullptr);
  RegisterWindowClasses(g_app.instance);
}

void MainWindowFixture::SetUp() {
  folder_ = MakeTempFolder("window");
  ASSERT_FALSE(folder_.empty());
  g_app.exe_folder = folder_;
  g_app.settings_folder = folder_;
  g_app.settings_path = folder_ + "vistrel.ini";
}

void MainWindowFixture::TearDown() {
  CloseMainWindow();
  ReleaseCapture();
  DeleteTree(folder_);
}

HWND MainWindowFixture::OpenMainWindow() {
  g_app.main_window = new MainWindow();
  HWND window = CreateMainWindow(g_app.main_window);
  PumpMessages(150);
  return window;
}

void MainWindowFixture::CloseMainWindow() {
  if (!g_app.main_window) return;
  if (IsWindow(g_app.main_window->window)) {
    DestroyWindow(g_app.main_window->window);
    DrainQuit();
  }
  delete g_app.main_window;
  g_app.main_window = nullptr;
}

int MainWindowFixture::DrainQuit() {
  int code = -1;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < 3000) {
    if (!PumpMessages(20, &code)) return code;
  }
  return -1;
}

void FinishShowing() {
  PictureControl* control = g_app.picture_control;
  for (int i = 0; control && i < 1000000 && PicturePending(&control->schedule); ++i) RunScheduledWork(control);
}

void FinishPictureWork() {
  PictureControl* control = g_app.picture_control;
  for (int i = 0; control && i < 1000000 && !RunScheduledWork(control); ++i) {
  }
}
