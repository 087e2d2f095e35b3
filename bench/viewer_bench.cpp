// What the user waits for in the viewer, measured in the real windows:
// opening a large JPEG up to its first painted frame, next and previous
// between two of them, and composing one frame with and without effects,
// each printed beside the bare decode and the bare nearest-scaled copy
// measured in the same run. It prints figures and asserts nothing.
//
//   wine viewer_bench.exe first.jpg second.jpg [rounds]
//
// scripts/run-viewer-bench.sh makes two 6000 x 4000 JPEGs and runs it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/startup.h"
#include "base/app_state.h"
#include "bench/window_bench_timing.h"
#include "imagefiles/jpeg_file.h"
#include "raster/bitmap.h"
#include "raster/blitting.h"
#include "raster/dib_bitmap.h"
#include "view/picture_control.h"
#include "view/picture_navigation.h"

namespace {

// Sizes the main window so that the picture control is width x height.
void SizeClient(int width, int height) {
  HWND main = g_app.main_window->window;
  RECT outer, client;
  GetWindowRect(main, &outer);
  GetClientRect(main, &client);
  int extra_w = (outer.right - outer.left) - client.right;
  int extra_h = (outer.bottom - outer.top) - client.bottom;
  SetWindowPos(main, nullptr, 0, 0, width + extra_w, height + extra_h, SWP_NOZORDER);
  Pump();
}

std::string Selection(const std::string& path) { return path + '\0' + '\0'; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: viewer_bench first.jpg second.jpg [rounds]\n");
    return 2;
  }
  std::string first = argv[1], second = argv[2];
  int rounds = argc > 3 ? atoi(argv[3]) : 7;
  if (rounds < 1) rounds = 1;

  g_app.instance = GetModuleHandleA(nullptr);
  RegisterWindowClasses(g_app.instance);
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  g_app.settings_folder = temp;
  g_app.settings_path = std::string(temp) + "viewer_bench.ini";
  g_app.main_window = new MainWindow();
  CreateMainWindow(g_app.main_window);
  Pump();
  PictureControl* control = g_app.picture_control;
  if (!control) {
    fprintf(stderr, "no picture control\n");
    return 1;
  }

  Bitmap* probe = LoadJpegFile(first.c_str());
  if (!probe) {
    fprintf(stderr, "cannot decode %s\n", first.c_str());
    return 1;
  }
  printf("picture %d x %d, %d rounds, medians in ms\n\n", probe->Width(), probe->Height(), rounds);
  delete probe;

  SizeClient(1920, 1080);
  RECT client;
  GetClientRect(control->window, &client);
  printf("window client %ld x %ld\n", client.right, client.bottom);

  double decode = Median(rounds, [&] { delete LoadJpegFile(first.c_str()); });
  // Confirming the dialog hands its selection to the file list; from there
  // to the frame on the screen.
  std::string one = Selection(first);
  double open = Median(rounds, [&] {
    OpenSelectedFiles(one.data());
    UpdateWindow(control->window);
  });
  printf("decode alone                    %8.1f\n", decode);
  printf("dialog result to first frame    %8.1f  (%.0f%% of decode)\n", open, 100.0 * open / decode);

  std::string folder = first.substr(0, first.find_last_of("\\/"));
  std::string two = folder + '\0' + first.substr(first.find_last_of("\\/") + 1) + '\0' +
                    second.substr(second.find_last_of("\\/") + 1) + '\0' + '\0';
  OpenSelectedFiles(two.data());
  UpdateWindow(control->window);
  double next = Median(rounds, [&] {
    ShowNextPicture();
    UpdateWindow(control->window);
    ShowPreviousPicture();
    UpdateWindow(control->window);
  }) / 2.0;
  printf("next or previous to the frame   %8.1f  (%.0f%% of decode)\n\n", next, 100.0 * next / decode);

  const int sizes[2][2] = {{1920, 1080}, {3840, 2160}};
  for (const auto& size : sizes) {
    int w = size[0], h = size[1];
    Bitmap* picture = control->picture;
    PictureFit fit;
    FitPicture(w, h, picture->Width(), picture->Height(), &fit);
    DibBitmap target(w, h);
    double copy = Median(rounds * 3, [&] {
      StretchBlitBitmap(&target, picture, fit.x, fit.y, fit.width, fit.height, 0.0f, 0.0f,
                        float(picture->Width()), float(picture->Height()), 1.0f, BLEND_COPY);
    });
    control->black_and_white = control->blur = control->flip_vertically = 0;
    control->flip_horizontally = control->negative = control->log_transformation = 0;
    control->illinify = 0;
    control->rotation = 0;
    ComposeFrame(control, w, h);
    double plain = Median(rounds * 3, [&] { ComposeFrame(control, w, h); });
    control->black_and_white = control->blur = control->flip_vertically = 1;
    control->flip_horizontally = control->negative = control->log_transformation = 1;
    control->illinify = 1;
    control->rotation = 90;
    double all = Median(rounds * 3, [&] { ComposeFrame(control, w, h); });
    control->black_and_white = control->blur = control->flip_vertically = 0;
    control->flip_horizontally = control->negative = control->log_transformation = 0;
    control->illinify = 0;
    control->rotation = 0;
    printf("%d x %d: scaled copy alone %6.2f, frame without effects %6.2f (%.2fx), "
           "with all effects %6.2f (%.2fx)\n",
           w, h, copy, plain, plain / copy, all, all / copy);
  }

  DestroyWindow(g_app.main_window->window);
  Pump();
  delete g_app.main_window;
  return 0;
}
