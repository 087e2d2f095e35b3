// What the user waits for in the viewer, measured in the real windows:
// opening a large JPEG up to its first painted frame; Next and Previous from
// the arrow key to the painted frame, both with time to prepare the
// neighbour and with the keys held down (no time for anything but the
// keys); back to the picture just left; Next onto a PNG and onto a
// progressive JPEG after a look; the longest preparation slice of each
// kind; how long a message waits while the neighbour is prepared; peak
// memory browsing ten large JPEGs beside the picture's own size; an
// animated GIF's processor time per second shown and its time to the first
// frame; composing one frame with and without effects. Figures are printed
// beside the bare decode and the bare nearest-scaled copy measured in the
// same run, and as "figure" lines that scripts/run-viewer-bench.sh sets
// against another build's. It asserts nothing.
//
//   wine viewer_bench.exe first.jpg second.jpg [rounds [picture.png progressive.jpg animation.gif]]
//
// scripts/run-viewer-bench.sh makes the pictures (two 6000 x 4000 JPEGs, a
// 4000 x 3000 PNG, a progressive 6000 x 4000 JPEG, a GIF of 20 frames of
// 1920 x 1080) and runs it.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/startup.h"
#include "base/app_state.h"
#include "bench/window_bench_timing.h"
#include "imagefiles/gif_file.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/png_file.h"
#include "raster/bitmap.h"
#include "raster/blitting.h"
#include "raster/dib_bitmap.h"
#include "view/picture_control.h"
#include "view/picture_navigation.h"

// The same source builds against a tree that prepares no neighbour, for a
// before and after in one session.
#if __has_include("view/picture_preparation.h")
#define PREPARES_NEIGHBOUR 1
#else
#define PREPARES_NEIGHBOUR 0
#endif
#if __has_include("view/picture_schedule.h")
#define SCHEDULES_DECODING 1
#else
#define SCHEDULES_DECODING 0
#endif

namespace {

// An arrow key as the keyboard gives it, handled by the program's message
// handling up to the painted frame. Only the key is taken from the queue,
// so that nothing else (no timer) runs in between: keys held down.
void PressArrow(WORD key) {
  HWND main = g_app.main_window->window;
  PostMessageA(main, WM_KEYDOWN, key, 1);
  MSG message;
  while (PeekMessageA(&message, main, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) ProcessLoopMessage(&message);
  UpdateWindow(g_app.picture_control->window);
  GdiFlush();
}

// Sizes the main window so that the picture control is width x height.
void SizeClient(int width, int height) {
  HWND main = g_app.main_window->window;
  RECT outer, client;
  GetWindowRect(main, &outer);
  GetClientRect(main, &client);
  int extra_w = (outer.right - outer.left) - client.right;
  int extra_h = (outer.bottom - outer.top) - client.bottom;
  SetWindowPos(main, nullptr, 0, 0, width + extra_w, height + extra_h, SWP_NOZORDER);
  PumpThroughProgram();
}

std::string Selection(const std::string& path) { return path + '\0' + '\0'; }

// A folder and names in the dialog's form.
std::string Selection(const std::string& folder, const std::vector<std::string>& names) {
  std::string selection = folder + '\0';
  for (const std::string& name : names) selection += name + '\0';
  return selection + '\0';
}

double MegaBytes(SIZE_T bytes) { return double(bytes) / (1024.0 * 1024.0); }

PROCESS_MEMORY_COUNTERS_EX Memory() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  return counters;
}

void Figure(const char* key, double value, const char* text) {
  printf("figure %-18s %10.2f  %s\n", key, value, text);
}

// Processor time of this process so far, in milliseconds.
double ProcessorMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) { return double(uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000.0; };
  return ms(kernel) + ms(user);
}

double LongestSlice() {
#if PREPARES_NEIGHBOUR
  return g_app.picture_control->prepared.longest_slice_ms;
#elif SCHEDULES_DECODING
  double longest = 0.0;
  for (const DecodingSteps& kind : g_app.picture_control->source->steps) longest = std::max(longest, kind.longest_ms);
  return longest;
#else
  return 0.0;
#endif
}

void ResetLongestSlice() {
#if PREPARES_NEIGHBOUR
  g_app.picture_control->prepared.longest_slice_ms = 0.0;
#elif SCHEDULES_DECODING
  g_app.picture_control->source->ResetSteps();
#endif
}

// Per cent of the preparation's slices so far that took more than 5 ms
// (a build that does not count them gives -1).
double LongSlicePercent() {
#if PREPARES_NEIGHBOUR && __has_include("imagefiles/png_row_decoding.h")
  const PreparedPicture& prepared = g_app.picture_control->prepared;
  return prepared.slice_count ? 100.0 * double(prepared.long_slice_count) / double(prepared.slice_count) : 0.0;
#elif SCHEDULES_DECODING
  int64_t steps = 0, long_steps = 0;
  for (const DecodingSteps& kind : g_app.picture_control->source->steps) {
    steps += kind.count;
    long_steps += kind.long_count;
  }
  return steps ? 100.0 * double(long_steps) / double(steps) : 0.0;
#else
  return -1.0;
#endif
}

// A second thread posts a message stamped with its time every millisecond;
// the wait between posting and the message being taken is what a key would
// have waited.
struct Probe {
  std::atomic<bool> running{true};
  std::vector<double> waits;
  DWORD thread_id = GetCurrentThreadId();
  static const UINT MESSAGE = WM_APP + 13;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: viewer_bench first.jpg second.jpg [rounds]\n");
    return 2;
  }
  std::string first = argv[1], second = argv[2];
  int rounds = argc > 3 ? atoi(argv[3]) : 7;
  if (rounds < 1) rounds = 1;
  std::string png = argc > 6 ? argv[4] : "", progressive = argc > 6 ? argv[5] : "", gif = argc > 6 ? argv[6] : "";

  g_app.instance = GetModuleHandleA(nullptr);
  RegisterWindowClasses(g_app.instance);
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  g_app.settings_folder = temp;
  g_app.settings_path = std::string(temp) + "viewer_bench.ini";
  g_app.main_window = new MainWindow();
  CreateMainWindow(g_app.main_window);
  PumpThroughProgram();
  PictureControl* control = g_app.picture_control;
  if (!control) {
    fprintf(stderr, "no picture control\n");
    return 1;
  }
  SizeClient(1920, 1080);
  IdleFor(200);
  RECT client;
  GetClientRect(control->window, &client);
  SIZE_T floor_private = Memory().PagefileUsage;

  size_t slash = first.find_last_of("\\/");
  std::string folder = first.substr(0, slash);
  std::string first_name = first.substr(slash + 1);
  std::string second_name = second.substr(second.find_last_of("\\/") + 1);

  // Next onto a neighbour prepared while the user looked, one key at a
  // time: a list long enough to keep going forward, and to browse ten
  // pictures at least (the peak memory).
  std::vector<std::string> names;
  int steps = rounds > 9 ? rounds : 9;
  for (int i = 0; i < steps + 1; ++i) names.push_back(i % 2 ? second_name : first_name);
  std::string many = Selection(folder, names);
  OpenSelectedFiles(many.data());
  UpdateWindow(control->window);
  std::vector<double> prepared_times;
  double picture_bytes = 0;
  ResetLongestSlice();
  Probe probe;
  std::thread poster([&probe] {
    while (probe.running) {
      // The time of posting travels with the message.
      double posted = Now();
      LPARAM stamp;
      memcpy(&stamp, &posted, sizeof stamp);
      PostThreadMessageA(probe.thread_id, Probe::MESSAGE, 0, stamp);
      Sleep(1);
    }
  });
  for (int i = 0; i < steps; ++i) {
    // The user looks for a second and a half; the probe's messages are taken
    // as the program's loop would take them.
    double looking = Now();
    double end = looking + 1500.0;
    while (Now() < end) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == Probe::MESSAGE && !message.hwnd) {
          // Messages posted during the key before do not count.
          double posted;
          memcpy(&posted, &message.lParam, sizeof posted);
          if (posted >= looking) probe.waits.push_back(Now() - posted);
          continue;
        }
        ProcessLoopMessage(&message);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    double start = Now();
    PressArrow(VK_RIGHT);
    prepared_times.push_back(Now() - start);
  }
  probe.running = false;
  poster.join();
  PumpThroughProgram();
  if (control->picture) picture_bytes = double(control->picture->RowSpan()) * control->picture->Height() * 4;
  PROCESS_MEMORY_COUNTERS_EX memory = Memory();
  double prepared_next = MedianOf(prepared_times);
  double jpeg_slice = LongestSlice();

  // Back to the picture just left after a look at the one beside it.
  std::string pair = Selection(folder, {first_name, second_name});
  std::vector<double> back_times;
  for (int i = 0; i < rounds; ++i) {
    OpenSelectedFiles(pair.data());
    UpdateWindow(control->window);
    IdleFor(500);
    PressArrow(VK_RIGHT);
    IdleFor(1500);
    double start = Now();
    PressArrow(VK_LEFT);
    back_times.push_back(Now() - start);
  }
  double back_to_left = MedianOf(back_times);

  // Next onto a picture of another kind after a look at a JPEG: the time
  // to the painted frame and the longest preparation slice meanwhile.
  auto next_onto = [&](const std::string& path, double* slice) {
    std::string list = Selection(folder, {first_name, path.substr(path.find_last_of("\\/") + 1)});
    std::vector<double> times;
    *slice = 0.0;
    for (int i = 0; i < rounds; ++i) {
      OpenSelectedFiles(list.data());
      UpdateWindow(control->window);
      ResetLongestSlice();
      IdleFor(2000);
      if (LongestSlice() > *slice) *slice = LongestSlice();
      double start = Now();
      PressArrow(VK_RIGHT);
      times.push_back(Now() - start);
    }
    return MedianOf(times);
  };
  double png_slice = 0.0, progressive_slice = 0.0, gif_slice = 0.0;
  double next_png = png.empty() ? 0.0 : next_onto(png, &png_slice);
  double next_progressive = progressive.empty() ? 0.0 : next_onto(progressive, &progressive_slice);
  double png_decode = png.empty() ? 0.0 : Median(rounds, [&] { delete LoadPngFile(png.c_str()); });
  double progressive_decode =
      progressive.empty() ? 0.0 : Median(rounds, [&] { delete LoadJpegFile(progressive.c_str()); });

  // An animated GIF: from the dialog's result to its first frame, then the
  // processor time per second while it plays.
  double gif_open = 0.0, gif_decode = 0.0, gif_cpu = 0.0;
  if (!gif.empty()) {
    std::string one_gif = Selection(gif);
    next_onto(gif, &gif_slice);
    gif_decode = Median(rounds, [&] { delete LoadGifFile(gif.c_str()); });
    gif_open = Median(rounds, [&] {
      OpenSelectedFiles(one_gif.data());
      UpdateWindow(control->window);
      GdiFlush();
    });
    IdleFor(3000);   // the first loop read from the file
    double cpu = ProcessorMs(), start = Now();
    IdleFor(6000);
    gif_cpu = (ProcessorMs() - cpu) / (Now() - start);
  }

  // Keys held down: Right and Left between the two pictures, each key taken
  // as soon as the frame before it is painted.
  std::string two = Selection(folder, {first_name, second_name});
  OpenSelectedFiles(two.data());
  UpdateWindow(control->window);
  double held = Median(rounds, [&] {
    PressArrow(VK_RIGHT);
    PressArrow(VK_LEFT);
  }) / 2.0;

  double decode = Median(rounds, [&] { delete LoadJpegFile(first.c_str()); });
  // Confirming the dialog hands its selection to the file list; from there
  // to the frame on the screen (with this build, the window first shows its
  // frame again where the dialog stood).
  std::string one = Selection(first);
  double open = Median(rounds, [&] {
#if PREPARES_NEIGHBOUR
    RedrawWindow(g_app.main_window->window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
#endif
    OpenSelectedFiles(one.data());
    UpdateWindow(control->window);
    GdiFlush();
  });

  printf("picture %d x %d (%.1f MB), window client %ld x %ld, %d rounds, medians in ms\n",
         control->picture ? control->picture->Width() : 0, control->picture ? control->picture->Height() : 0,
         picture_bytes / 1048576.0, client.right, client.bottom, rounds);
  printf("this build %s the neighbour\n\n", PREPARES_NEIGHBOUR ? "prepares" : "does not prepare");
  Figure("decode", decode, "decode alone (new bitmap)");
  Figure("open", open, "dialog result to first frame");
  Figure("next_prepared", prepared_next, "arrow key to painted frame after 1.5 s of looking");
  Figure("next_held", held, "arrow key to painted frame, keys held down");
  Figure("back_to_left", back_to_left, "arrow key back to the picture just left, after 1.5 s");
  if (!png.empty()) {
    Figure("png_decode", png_decode, "PNG decode alone (new bitmap)");
    Figure("next_png", next_png, "arrow key onto the PNG after 2 s, to painted frame");
  }
  if (!progressive.empty()) {
    Figure("prog_decode", progressive_decode, "progressive JPEG decode alone (new bitmap)");
    Figure("next_progressive", next_progressive, "arrow key onto the progressive JPEG after 2 s");
  }
  if (!gif.empty()) {
    Figure("gif_decode", gif_decode, "GIF whole-file decode alone (new bitmap)");
    Figure("gif_open", gif_open, "dialog result to the GIF's first frame");
    Figure("gif_cpu_per_s", gif_cpu, "processor seconds per second of animation");
  }
  std::sort(probe.waits.begin(), probe.waits.end());
  size_t waits = probe.waits.size();
  Figure("message_wait_p50", waits ? probe.waits[waits / 2] : 0.0, "median wait of a posted message while looking");
  Figure("message_wait_p99", waits ? probe.waits[waits * 99 / 100] : 0.0, "99th percentile of that wait");
  Figure("message_wait_max", waits ? probe.waits.back() : 0.0, "longest wait of a posted message while looking");
  Figure("longest_slice", jpeg_slice, "longest preparation slice, JPEG");
  if (!png.empty()) Figure("slice_png", png_slice, "longest preparation slice, PNG");
  if (!progressive.empty()) Figure("slice_progressive", progressive_slice, "longest preparation slice, progressive JPEG");
  if (!gif.empty()) Figure("slice_gif", gif_slice, "longest preparation slice, GIF (decoded whole)");
  Figure("slices_over_5ms", LongSlicePercent(), "per cent of all preparation slices longer than 5 ms");
  Figure("floor_mb", MegaBytes(floor_private), "private memory before any picture (Wine's floor)");
  Figure("peak_mb", MegaBytes(memory.PeakPagefileUsage), "peak private memory browsing ten JPEGs");
  Figure("peak_ws_mb", MegaBytes(memory.PeakWorkingSetSize), "peak working set after the prepared steps");
  Figure("picture_mb", picture_bytes / 1048576.0, "one decoded picture");
  Figure("peak_over_floor", MegaBytes(memory.PeakPagefileUsage - floor_private), "peak private memory above the floor");
  Figure("peak_target_mb", 3.2 * picture_bytes / 1048576.0 + 45.0, "3.2 pictures and 45 MB");
  Figure("frame_mb", 2.0 * client.right * client.bottom * 4 / 1048576.0, "frame and scratch bitmaps");
  printf("\n");

  const int sizes[2][2] = {{1920, 1080}, {3840, 2160}};
  for (const auto& size : sizes) {
    int w = size[0], h = size[1];
    Bitmap* picture = control->picture;
    if (!picture) break;
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
  PumpThroughProgram();
  delete g_app.main_window;
  return 0;
}
