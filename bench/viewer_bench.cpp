// What the user waits for in the viewer, measured in the real windows the way
// a user works: keys posted to the main window and handled by the program's
// own message loop up to the painted picture; the Open files dialog
// confirmed with Enter; forward and back over every file kind. Measured:
// a step onto a picture that is not held (decode, fit and paint) and an
// Open of the same large JPEG, each against the plain decode of that file
// in the same run; Next after a look (the neighbour prepared) and back to
// the picture just left; keys held down; per file kind the longest
// decoding step and a step that is not held; the longest time the window
// took to answer a message while a picture decoded (a second thread sends
// it one every millisecond), while opening a huge progressive JPEG and
// while nine Right presses 33 ms apart cross ten progressive JPEGs; the
// peak of private memory beyond the shown picture in those sequences; an
// animated GIF's processor time; composing one frame with and without
// effects; the longest single call when a huge decoding ends or is
// abandoned and when a 360 MP picture is freed, its large blocks given back
// at once and queued. Figures are printed as "figure" lines that
// scripts/run-viewer-bench.sh sets against another build's. It asserts
// nothing.
//
//   wine viewer_bench.exe <pictures folder> [rounds]
//
// scripts/run-viewer-bench.sh makes the pictures (the names below) and runs
// it; a picture that is missing skips what needs it.
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/startup.h"
#include "base/app_state.h"
#include "bench/window_bench_timing.h"
#include "imagefiles/file_list.h"
#include "imagefiles/gif_file.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/picture_decoding.h"
#include "raster/bitmap.h"
#include "raster/blitting.h"
#include "raster/dib_bitmap.h"
#include "raster/memory_bitmap.h"
#include "view/picture_control.h"
#include "view/picture_navigation.h"

// The same source builds against older trees, for a before and after in one
// session: one that decodes every picture through a schedule in steps, one
// that prepares only the neighbour in slices, one that prepares nothing.
// A tree whose large blocks can wait in a queue to be given back.
#if __has_include("raster/block_memory.h")
#define QUEUES_FREED_BLOCKS 1
#include "raster/block_memory.h"
#else
#define QUEUES_FREED_BLOCKS 0
#endif

#if __has_include("view/picture_schedule.h")
#define SCHEDULES_DECODING 1
#define PREPARES_NEIGHBOUR 1
#include "view/file_picture_source.h"
#elif __has_include("view/picture_preparation.h")
#define SCHEDULES_DECODING 0
#define PREPARES_NEIGHBOUR 1
#else
#define SCHEDULES_DECODING 0
#define PREPARES_NEIGHBOUR 0
#endif

namespace {

// ---- What the program tells of its own work. Only these functions read
// the program's statistics: a tree that keeps other ones changes them here.

// Forgets the longest steps, the counts of steps and the ledger's peak.
void ResetStepStatistics() {
#if SCHEDULES_DECODING
  g_app.picture_control->source->ResetSteps();
  g_app.picture_control->schedule.peak_bytes = LedgerBytes(&g_app.picture_control->schedule);
#elif PREPARES_NEIGHBOUR
  g_app.picture_control->prepared.longest_slice_ms = 0.0;
#if __has_include("imagefiles/png_row_decoding.h")
  g_app.picture_control->prepared.slice_count = 0;
  g_app.picture_control->prepared.long_slice_count = 0;
#endif
#endif
}

// The longest step of decoding, in milliseconds, and the number of steps,
// since the reset, of pictures of the kind (the names of KINDS below). A
// tree that only prepares the neighbour keeps one figure for every kind,
// and only for that preparation: a picture decoded for the screen is one
// step it does not time.
struct StepFigures {
  double longest_ms;
  double steps;       // -1 where the tree does not count them
  double long_steps;  // of those, longer than 5 ms
};
StepFigures StepStatistics(const char* kind) {
  StepFigures figures = {0.0, -1.0, -1.0};
#if SCHEDULES_DECODING
  PictureKind picture_kind = strcmp(kind, "png") == 0 ? PICTURE_KIND_PNG
                             : strcmp(kind, "gif") == 0 ? PICTURE_KIND_GIF
                             : strcmp(kind, "bmp") == 0 ? PICTURE_KIND_BMP
                             : strcmp(kind, "ico") == 0 ? PICTURE_KIND_ICO
                                                        : PICTURE_KIND_JPEG;
  const DecodingSteps& steps = g_app.picture_control->source->steps[picture_kind];
  figures = {steps.longest_ms, double(steps.count), double(steps.long_count)};
#elif PREPARES_NEIGHBOUR
  figures.longest_ms = g_app.picture_control->prepared.longest_slice_ms;
#if __has_include("imagefiles/png_row_decoding.h")
  figures.steps = double(g_app.picture_control->prepared.slice_count);
  figures.long_steps = double(g_app.picture_control->prepared.long_slice_count);
#endif
#endif
  return figures;
}

// The largest count of bytes held beyond the shown picture since the reset,
// by the program's own ledger; -1 where it keeps none.
double LedgerPeak() {
#if SCHEDULES_DECODING
  return double(g_app.picture_control->schedule.peak_bytes);
#else
  return -1.0;
#endif
}

// ---- Time, memory, the loop.

double MegaBytes(double bytes) { return bytes / (1024.0 * 1024.0); }

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage;
}

// Processor time of this process so far, in milliseconds.
double ProcessorMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) { return double(uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000.0; };
  return ms(kernel) + ms(user);
}

void Figure(const char* key, double value, const char* text) {
  printf("figure %-22s %10.2f  %s\n", key, value, text);
}

// A second thread sends the main window a message every millisecond and
// times the answer: the longest wait is the longest time a message other
// than input waited (the program answers input first). A third samples the
// process's private memory every millisecond, whether the window answers or
// not.
class Probe {
 public:
  struct Result {
    double longest_ms = 0, median_ms = 0, p99_ms = 0;
    double answered = 0;
    double peak_private = 0;   // bytes
  };

  void Start(HWND window) {
    window_ = window;
    thread_ = std::thread([this] { Run(); });
    sampler_ = std::thread([this] { Sample(); });
  }
  void Stop() {
    quit_ = true;
    thread_.join();
    sampler_.join();
  }
  void Begin() {
    std::lock_guard<std::mutex> hold(lock_);
    waits_.clear();
    peak_private_ = double(PrivateBytes());
    begin_ = Now();
    active_ = true;
  }
  // Called on the window's thread: the message under way is answered first.
  Result End() {
    double end = Now();
    active_ = false;
    while (sending_) {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      Sleep(0);
    }
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<double> waits;
    for (const auto& wait : waits_) {
      if (wait.first >= begin_ && wait.first <= end) waits.push_back(wait.second);
    }
    Result result;
    std::sort(waits.begin(), waits.end());
    if (!waits.empty()) {
      result.longest_ms = waits.back();
      result.median_ms = waits[waits.size() / 2];
      result.p99_ms = waits[waits.size() * 99 / 100];
    }
    result.answered = double(waits.size());
    result.peak_private = peak_private_;
    return result;
  }

 private:
  void Run() {
    while (!quit_) {
      if (!active_) {
        Sleep(2);
        continue;
      }
      sending_ = true;
      double sent = Now();
      DWORD_PTR answer = 0;
      SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &answer);
      double wait = Now() - sent;
      {
        std::lock_guard<std::mutex> hold(lock_);
        waits_.push_back({sent, wait});
      }
      sending_ = false;
      Sleep(1);
    }
  }

  void Sample() {
    while (!quit_) {
      if (active_) {
        double memory = double(PrivateBytes());
        std::lock_guard<std::mutex> hold(lock_);
        if (active_ && memory > peak_private_) peak_private_ = memory;
      }
      Sleep(1);
    }
  }

  HWND window_ = nullptr;
  std::thread thread_, sampler_;
  std::atomic<bool> quit_{false}, active_{false}, sending_{false};
  std::mutex lock_;
  std::vector<std::pair<double, double>> waits_;
  double peak_private_ = 0;
  double begin_ = 0;
};

Probe g_probe;

// A few pixels of a picture, enough to tell the pictures of a run apart.
struct Fingerprint {
  int width = 0, height = 0;
  std::vector<uint32_t> samples;
};

uint32_t PixelAt(const Bitmap* bitmap, int x, int y) { return bitmap->Bits()[size_t(y) * bitmap->RowSpan() + x]; }

Fingerprint FingerprintOf(const Bitmap* bitmap) {
  Fingerprint print;
  if (!bitmap || !bitmap->Bits()) return print;
  print.width = bitmap->Width();
  print.height = bitmap->Height();
  for (int j = 0; j < 8; ++j) {
    for (int i = 0; i < 8; ++i) print.samples.push_back(PixelAt(bitmap, (2 * i + 1) * print.width / 16, (2 * j + 1) * print.height / 16));
  }
  return print;
}

bool Matches(const Bitmap* bitmap, const Fingerprint& print) {
  if (!bitmap || bitmap->Width() != print.width || bitmap->Height() != print.height) return false;
  if (print.samples.empty()) return true;
  return FingerprintOf(bitmap).samples == print.samples;
}

Fingerprint Decoded(const std::string& path) {
  Bitmap* bitmap = LoadPictureFile(path.c_str(), nullptr);
  Fingerprint print = FingerprintOf(bitmap);
  delete bitmap;
  return print;
}

// The control shows, painted, the picture of position index: another bitmap
// than before, with the expected pixels when they are given, and nothing
// waits to be painted.
bool Shows(int index, const Bitmap* before, const Fingerprint* expected) {
  PictureControl* control = g_app.picture_control;
  if (!control || control->files.current_index != index || control->picture == before) return false;
  if (expected && !Matches(control->picture, *expected)) return false;
  return !GetUpdateRect(control->window, nullptr, FALSE);
}

// Keys come as the keyboard gives them, through the input queue of the
// focused window (input is what the program answers first), when the main
// window is in the foreground; otherwise they are posted to it.
bool g_keyboard = false;
void PressKey(WORD key, bool down) {
  if (g_keyboard) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | KEYEVENTF_EXTENDEDKEY;
    SendInput(1, &input, sizeof input);
  } else if (down) {
    PostMessageA(g_app.main_window->window, WM_KEYDOWN, key, 1);
  }
}

// When each arrow key was pressed and taken from the queue by the loop.
std::mutex g_keys_lock;
std::vector<double> g_keys_pressed, g_keys_taken;
void ForgetKeys() {
  std::lock_guard<std::mutex> hold(g_keys_lock);
  g_keys_pressed.clear();
  g_keys_taken.clear();
}
// The longest time a key waited to be taken.
double LongestKeyWait() {
  std::lock_guard<std::mutex> hold(g_keys_lock);
  double longest = 0.0;
  for (size_t i = 0; i < g_keys_pressed.size() && i < g_keys_taken.size(); ++i) {
    longest = std::max(longest, g_keys_taken[i] - g_keys_pressed[i]);
  }
  return longest;
}

// The program's message loop, run until the control shows the picture of
// position index (Shows), at most timeout_ms. False on the timeout.
bool Settle(int index, const Bitmap* before, const Fingerprint* expected, double timeout_ms = 120000) {
  double end = Now() + timeout_ms;
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_KEYDOWN && (message.wParam == VK_LEFT || message.wParam == VK_RIGHT)) {
        std::lock_guard<std::mutex> hold(g_keys_lock);
        g_keys_taken.push_back(Now());
      }
      ProcessLoopMessage(&message);
      if (Shows(index, before, expected)) return true;
    }
    if (Shows(index, before, expected)) return true;
    if (Now() > end) {
      printf("note: the picture of position %d did not show within %.0f ms\n", index, timeout_ms);
      return false;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
  }
}

// Pixels on the screen: a few points of the control's window against the
// frame the control composed. Counted, printed at the end.
int g_screen_checks = 0, g_screen_mismatches = 0;
void CheckScreen() {
  PictureControl* control = g_app.picture_control;
  if (!control || !control->frame || !control->frame->Bits()) return;
  HDC dc = GetDC(control->window);
  int w = control->frame->Width(), h = control->frame->Height();
  for (int k = 1; k <= 5; ++k) {
    int x = w * k / 6, y = h * (6 - k) / 6;
    uint32_t frame = PixelAt(control->frame, x, y) & 0xFFFFFF;
    COLORREF screen = GetPixel(dc, x, y);
    uint32_t seen = uint32_t(GetRValue(screen)) << 16 | uint32_t(GetGValue(screen)) << 8 | GetBValue(screen);
    g_screen_checks += 1;
    if (seen != frame) g_screen_mismatches += 1;
  }
  ReleaseDC(control->window, dc);
}

// An arrow key as the keyboard gives it, to the picture of position index
// on the screen (checked by its pixels when expected is given).
double Step(WORD key, int index, const Fingerprint* expected = nullptr) {
  const Bitmap* before = g_app.picture_control->picture;
  double start = Now();
  PressKey(key, true);
  PressKey(key, false);
  Settle(index, before, expected, 30000);
  double time = Now() - start;
  CheckScreen();
  return time;
}

std::string Selection(const std::string& folder, const std::vector<std::string>& names) {
  std::string selection = folder + '\0';
  for (const std::string& name : names) selection += name + '\0';
  return selection + '\0';
}

// The program's open path from the dialog's selection to the first picture
// on the screen.
double OpenList(const std::string& folder, const std::vector<std::string>& names, const Fingerprint* expected = nullptr) {
  std::string selection = Selection(folder, names);
  const Bitmap* before = g_app.picture_control->picture;
  double start = Now();
  OpenSelectedFiles(selection.data());
  Settle(0, before, expected);
  return Now() - start;
}

HWND OpenFilesDialog() {
  HWND dialog = nullptr;
  while ((dialog = FindWindowExW(nullptr, dialog, L"#32770", L"Open files")) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(dialog, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(dialog)) return dialog;
  }
  return nullptr;
}

// Ctrl+A's command, the path typed into the dialog's name box and Enter (a
// second thread plays the user while the program's thread runs the dialog),
// to the picture on the screen. The time from Enter; -1 when the dialog did
// not come.
double OpenThroughDialog(const std::string& path, const Fingerprint* expected) {
  HWND main = g_app.main_window->window;
  DWORD ui_thread = GetCurrentThreadId();
  std::atomic<double> enter{-1.0};
  std::thread user([&] {
    HWND dialog = nullptr;
    for (int i = 0; i < 3000 && !dialog; ++i) {
      dialog = OpenFilesDialog();
      if (!dialog) Sleep(5);
    }
    if (!dialog) return;
    Sleep(300);   // the dialog lists its folder
    // The name box: the Explorer-style dialog's combo box, the old one's
    // edit field, or what has the focus.
    HWND box = FindWindowExW(GetDlgItem(dialog, 0x47C), nullptr, L"Edit", nullptr);
    if (!box) box = GetDlgItem(dialog, 0x480);
    if (!box) {
      GUITHREADINFO info = {};
      info.cbSize = sizeof info;
      GetGUIThreadInfo(ui_thread, &info);
      box = info.hwndFocus ? info.hwndFocus : dialog;
    }
    std::wstring wide(path.begin(), path.end());
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    enter = Now();
    PostMessageW(box, WM_KEYDOWN, VK_RETURN, 1);
  });
  const Bitmap* before = g_app.picture_control->picture;
  PostMessageA(main, WM_COMMAND, CMD_OPEN_FILES, 0);
  bool shown = Settle(0, before, expected, 60000);
  double end = Now();
  user.join();
  CheckScreen();
  return shown && enter >= 0 ? end - enter : -1.0;
}

// A key held down: pressed by a second thread at the given times (ms from
// the start), the program's loop running meanwhile, until the picture of
// position index is on the screen. Gives the time from the last press to
// then.
double KeysAtTimes(WORD key, const std::vector<double>& times, int index, const Fingerprint* expected) {
  double start = Now();
  std::atomic<double> last{0.0};
  std::thread user([&] {
    for (double at : times) {
      while (Now() < start + at) Sleep(1);
      last = Now();
      {
        std::lock_guard<std::mutex> hold(g_keys_lock);
        g_keys_pressed.push_back(last);
      }
      PressKey(key, true);
    }
    PressKey(key, false);
  });
  // The loop cannot settle before the last key: its position is not reached.
  Settle(index, nullptr, expected);
  double end = Now();
  user.join();
  CheckScreen();
  return end - last;
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

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

double PictureBytes(const Bitmap* bitmap) { return bitmap ? double(bitmap->RowSpan()) * bitmap->Height() * 4 : 0.0; }

// The file kinds: the picture stepped onto from the baseline JPEG, and the
// figures' names.
struct Kind {
  const char* name;
  const char* file;
};
const Kind KINDS[] = {{"jpeg", "second.jpg"}, {"progressive", "progressive.jpg"}, {"png", "picture.png"},
                      {"gif", "animation.gif"}, {"bmp", "picture.bmp"},            {"ico", "icon.ico"}};

// ---- A large animation playing, and the pace of timers while a picture
// decodes.

// What the picture control does, seen through a window procedure put in
// front of its own: when it paints a picture that differs from the one
// painted before (a few pixels tell), and when the animation timer ticks.
WNDPROC g_control_procedure = nullptr;
std::vector<double> g_frames_painted, g_animation_ticks, g_paint_times;
uint64_t g_painted_print = 0;

uint64_t PicturePrint(const Bitmap* bitmap) {
  if (!bitmap || !bitmap->Bits()) return 0;
  uint64_t print = 1469598103934665603ull;
  for (int k = 1; k <= 7; ++k) {
    print = (print ^ PixelAt(bitmap, bitmap->Width() * k / 8, bitmap->Height() * (8 - k) / 8)) * 1099511628211ull;
  }
  return print;
}

LRESULT CALLBACK WatchingProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  PictureControl* control = g_app.picture_control;
  if (message == WM_TIMER && wparam == TIMER_ANIMATION) g_animation_ticks.push_back(Now());
  if (message == WM_PAINT && control) {
    uint64_t print = PicturePrint(control->picture);
    if (print != g_painted_print) g_frames_painted.push_back(Now());
    g_painted_print = print;
    double start = Now();
    LRESULT result = CallWindowProcA(g_control_procedure, window, message, wparam, lparam);
    g_paint_times.push_back(Now() - start);
    return result;
  }
  return CallWindowProcA(g_control_procedure, window, message, wparam, lparam);
}

void WatchControl(bool on) {
  HWND window = g_app.picture_control->window;
  if (on) {
    g_frames_painted.clear();
    g_animation_ticks.clear();
    g_paint_times.clear();
    g_painted_print = PicturePrint(g_app.picture_control->picture);
    g_control_procedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchingProcedure)));
  } else {
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_control_procedure));
  }
}

// A window of the program with a timer of its own, like the About window's
// credits: the times it ticked.
std::vector<double> g_window_ticks;
LRESULT CALLBACK TickingProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER) g_window_ticks.push_back(Now());
  return DefWindowProcA(window, message, wparam, lparam);
}

HWND MakeTickingWindow(UINT period) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = TickingProcedure;
  window_class.hInstance = g_app.instance;
  window_class.lpszClassName = "viewer_bench_ticking";
  RegisterClassA(&window_class);
  HWND window = CreateWindowA("viewer_bench_ticking", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              g_app.instance, nullptr);
  if (window) SetTimer(window, 1, period, nullptr);
  return window;
}

// The median and the longest time between two ticks.
struct Periods {
  double median = -1.0, longest = -1.0, count = 0;
};
Periods PeriodsOf(const std::vector<double>& ticks, double from, double to) {
  std::vector<double> gaps;
  for (size_t i = 1; i < ticks.size(); ++i) {
    if (ticks[i - 1] >= from && ticks[i] <= to) gaps.push_back(ticks[i] - ticks[i - 1]);
  }
  Periods periods;
  if (gaps.empty()) return periods;
  periods.median = MedianOf(gaps);
  periods.longest = *std::max_element(gaps.begin(), gaps.end());
  periods.count = double(gaps.size());
  return periods;
}

// The program's loop for the given time, as IdleFor runs it; the longest
// single call it made, and the share of the time spent in calls.
double PlayFor(double milliseconds, double* busy_share = nullptr) {
  double begin = Now(), end = begin + milliseconds, longest = 0.0, busy = 0.0;
  while (Now() < end) {
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      double start = Now();
      ProcessLoopMessage(&message);
      longest = std::max(longest, Now() - start);
      busy += Now() - start;
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
  }
  if (busy_share) *busy_share = busy / (Now() - begin);
  return longest;
}

struct AnimationFigures {
  bool large_present = false;
  double large_open = 0, longest_call = 0, longest_wait = 0, frames_per_s = 0, ticks_per_s = 0, cpu = 0;
  double probed_frames_per_s = 0, busy = 0, paint = 0;
  bool timers_present = false;
  double decode_alone = 0, decode_with_timers = 0;
  Periods gif, window;
};

// Plays the large animation (large_animation.gif, 100 ms a frame) for a
// while, a message sent every millisecond meanwhile; then shows the small
// one (ticker.gif, 20 ms a frame) and, beside it, a window with a 41 ms
// timer, while Right decodes a large progressive JPEG (the huge one when
// there is one).
AnimationFigures MeasureAnimations(const std::string& folder, const Fingerprint& first_print) {
  AnimationFigures figures;
  auto in = [&](const std::string& name) { return folder + "\\" + name; };
  if (Exists(in("large_animation.gif"))) {
    figures.large_present = true;
    OpenList(folder, {"first.jpg"}, &first_print);
    figures.large_open = OpenList(folder, {"large_animation.gif"});
    PlayFor(2000);   // its first frames, the start of the file read
    WatchControl(true);
    double cpu = ProcessorMs(), start = Now();
    PlayFor(6000, &figures.busy);
    double seconds = (Now() - start) / 1000.0;
    if (!g_paint_times.empty()) figures.paint = MedianOf(g_paint_times);
    figures.cpu = (ProcessorMs() - cpu) / (Now() - start);
    WatchControl(false);
    figures.frames_per_s = double(g_frames_painted.size()) / seconds;
    figures.ticks_per_s = double(g_animation_ticks.size()) / seconds;
    // The same with a message sent every millisecond: a call of the loop
    // that does not make way for it shows as a long wait.
    WatchControl(true);
    g_probe.Begin();
    start = Now();
    figures.longest_call = PlayFor(4000);
    figures.longest_wait = g_probe.End().longest_ms;
    WatchControl(false);
    figures.probed_frames_per_s = double(g_frames_painted.size()) * 1000.0 / (Now() - start);
    OpenList(folder, {"first.jpg"}, &first_print);
  }
  // The largest JPEG there is, not held: decoded while the GIF plays.
  std::string large_jpeg = Exists(in("huge.jpg")) ? "huge.jpg" : "progressive.jpg";
  if (Exists(in("ticker.gif")) && Exists(in(large_jpeg))) {
    figures.timers_present = true;
    auto decode_after_ticker = [&](bool watch) {
      OpenList(folder, {"first.jpg"}, &first_print);
      OpenList(folder, {"ticker.gif", large_jpeg});
      if (watch) WatchControl(true);
      double start = Now();
      Step(VK_RIGHT, 1);   // to another picture than the GIF's
      double time = Now() - start;
      if (watch) WatchControl(false);
      figures.gif = PeriodsOf(g_animation_ticks, start, start + time);
      figures.window = PeriodsOf(g_window_ticks, start, start + time);
      return time;
    };
    figures.decode_alone = decode_after_ticker(false);
    HWND ticking = MakeTickingWindow(41);
    g_window_ticks.clear();
    figures.decode_with_timers = decode_after_ticker(true);
    DestroyWindow(ticking);
    OpenList(folder, {"first.jpg"}, &first_print);
  }
  return figures;
}

void PrintAnimationFigures(const AnimationFigures& f) {
  if (f.large_present) {
    Figure("large_gif_open", f.large_open, "5792 x 5792 animation: the selection to its first frame");
    Figure("large_gif_frames_per_s", f.frames_per_s, "while it plays: frames shown per second (10 asked)");
    Figure("large_gif_ticks_per_s", f.ticks_per_s, "while it plays: animation timer ticks per second");
    Figure("large_gif_cpu_per_s", f.cpu, "processor seconds per second of animation");
    Figure("large_gif_busy", f.busy, "share of the time the loop spent in calls");
    Figure("large_gif_paint", f.paint, "median time of a paint of the control");
    Figure("large_gif_longest_call", f.longest_call, "a message sent every ms: longest single call of the loop");
    Figure("large_gif_wait_max", f.longest_wait, "a message sent every ms: longest wait for an answer");
    Figure("large_gif_probed_fps", f.probed_frames_per_s, "a message sent every ms: frames shown per second");
  }
  if (f.timers_present) {
    Figure("ticker_decode", f.decode_alone, "Right onto a large progressive JPEG, a 20 ms GIF shown");
    Figure("ticker_decode_timer", f.decode_with_timers, "the same with a 41 ms timer in another window");
    Figure("ticker_gif_period", f.gif.median, "meanwhile: median period of the 20 ms GIF");
    Figure("ticker_gif_period_max", f.gif.longest, "meanwhile: its longest period");
    Figure("ticker_timer_period", f.window.median, "meanwhile: median period of the 41 ms timer");
    Figure("ticker_timer_period_max", f.window.longest, "meanwhile: its longest period");
  }
}

struct SkipFigures {
  double settle = -1.0;
  Probe::Result probe;
  bool huge_shown = false;
};

// The picture control's window procedure, watched for a paint of the huge
// picture while the keys pass it.
WNDPROC g_skip_procedure = nullptr;
bool g_huge_painted = false;

LRESULT CALLBACK SkipWatchingProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT && g_app.picture_control && g_app.picture_control->picture &&
      g_app.picture_control->picture->Width() > 10000) {
    g_huge_painted = true;
  }
  return CallWindowProcA(g_skip_procedure, window, message, wparam, lparam);
}

SkipFigures SkipOverHugePicture(const std::string& folder, const Fingerprint& first, const Fingerprint& second) {
  SkipFigures skip;
  OpenList(folder, {"first.jpg", "huge.jpg", "second.jpg"}, &first);
  IdleFor(500);
  HWND control = g_app.picture_control->window;
  g_huge_painted = false;
  g_skip_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SkipWatchingProcedure)));
  ForgetKeys();
  g_probe.Begin();
  skip.settle = KeysAtTimes(VK_RIGHT, {0.0, 33.0}, 2, &second);
  skip.probe = g_probe.End();
  SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_skip_procedure));
  skip.huge_shown = g_huge_painted;
  return skip;
}

// ---- Giving memory back: the longest single call on the window's thread
// when a decoding of the huge progressive JPEG ends (its last step frees
// the coefficient arrays) or is abandoned near its end (the picture's block
// as well), and when a 360 MP picture is freed; then the same in the
// window, as the longest wait for an answer. "at once" gives every freed
// block back in the call that frees it, as the C heap did; "queued" defers
// that, and the queue is then given back a piece at a time, each piece one
// call. The C heap's free of a 360 MP block is the reference.

struct GivingBack {
  double call_ms = -1.0;    // the call that ends, abandons or frees
  double piece_ms = 0.0;    // the longest piece given back afterwards
  double pieces = 0.0;
  double pieces_ms = 0.0;   // all the pieces together
  double wait_ms = -1.0;    // in the window: the longest wait for an answer
  double Longest() const { return std::max(call_ms, piece_ms); }
};

void SetQueued(bool queued) {
#if QUEUES_FREED_BLOCKS
  ReleaseQueuedBlocks();
  DeferBlockRelease(queued);
#else
  (void)queued;
#endif
}

void GiveBackPieces(GivingBack* figures) {
#if QUEUES_FREED_BLOCKS
  for (;;) {
    double start = Now();
    if (!ReleaseQueuedPiece()) break;
    double time = Now() - start;
    figures->piece_ms = std::max(figures->piece_ms, time);
    figures->pieces += 1;
    figures->pieces_ms += time;
  }
#else
  (void)figures;
#endif
}

// Decodes path in steps: with stop_before >= 0 abandons it that many steps
// before its end, otherwise to its end. Gives the count of steps and the
// picture's size.
int DecodeAndGiveBack(const std::string& path, int stop_before, int steps_in_all, GivingBack* figures,
                      Fingerprint* size) {
  PictureDecoding* decoding = StartPictureDecoding(path.c_str(), INT64_MAX);
  if (!decoding) return 0;
  int steps = 0;
  for (;;) {
    if (stop_before >= 0 && steps == steps_in_all - stop_before) {
      double start = Now();
      AbandonPictureDecoding(decoding);
      figures->call_ms = Now() - start;
      break;
    }
    double start = Now();
    int result = StepPictureDecoding(decoding);
    double step = Now() - start;
    steps += 1;
    if (result == 0) continue;
    Bitmap* picture = nullptr;
    if (result > 0) {
      int first_delay = 0;
      start = Now();
      picture = TakeDecodedPicture(decoding, &first_delay, nullptr);
      figures->call_ms = std::max(step, Now() - start);
      size->width = picture ? picture->Width() : 0;
      size->height = picture ? picture->Height() : 0;
    } else {
      AbandonPictureDecoding(decoding);
    }
    GiveBackPieces(figures);
    delete picture;
    return steps;
  }
  GiveBackPieces(figures);
  return steps;
}

// The longest wait for an answer from the start of f through a second
// after it, the queue given back meanwhile.
template <typename F>
double LongestWait(F f) {
  g_probe.Begin();
  f();
  IdleFor(1000);
  return g_probe.End().longest_ms;
}

void PrintGivingBack(const std::string& folder) {
  std::string huge = folder + "\\huge.jpg";
  if (!Exists(huge)) return;
  const int width = 24000, height = 15000;   // 360 MP
  const size_t bytes = size_t(width) * height * 4;
  GivingBack end[2], abandon[2], free360[2];
  int steps = 0;
  Fingerprint size;
  for (int queued = 0; queued < 2; ++queued) {
#if !QUEUES_FREED_BLOCKS
    if (queued) break;
#endif
    SetQueued(queued != 0);
    steps = DecodeAndGiveBack(huge, -1, 0, &end[queued], &size);
    SetQueued(queued != 0);
    DecodeAndGiveBack(huge, 2, steps, &abandon[queued], &size);
    SetQueued(queued != 0);
    MemoryBitmap* picture = new MemoryBitmap(width, height);
    if (picture->Bits()) memset(picture->Bits(), 0x5A, bytes);
    double start = Now();
    delete picture;
    free360[queued].call_ms = Now() - start;
    GiveBackPieces(&free360[queued]);

    // In the window: the huge picture opened (its decoding's end), then
    // another opened (the huge picture freed), then the huge one opened
    // and abandoned for another at four fifths of its decoding.
    OpenList(folder, {"first.jpg"});
    double open = 0.0;
    end[queued].wait_ms = LongestWait([&] { open = OpenList(folder, {"huge.jpg"}, &size); });
    free360[queued].wait_ms = LongestWait([&] { OpenList(folder, {"first.jpg"}); });
    std::string selection = Selection(folder, {"huge.jpg"});
    OpenSelectedFiles(selection.data());
    IdleFor(open * 0.8);
    abandon[queued].wait_ms = LongestWait([&] { OpenList(folder, {"first.jpg"}); });
  }
  SetQueued(true);
  double heap_free = -1.0;
  if (void* block = malloc(bytes)) {
    memset(block, 0x5A, bytes);
    double start = Now();
    free(block);
    heap_free = Now() - start;
  }
  printf("\ngiving memory back, ms (%d steps of the huge decoding): the longest single call, at once and\n"
         "queued, the pieces afterwards; in the window, the longest wait for an answer\n", steps);
  printf("%-34s %8s %8s %8s %7s %8s %9s %9s\n", "", "at once", "queued", "piece", "pieces", "all", "wait once",
         "wait queued");
  struct Row {
    const char* name;
    const GivingBack* figures;
  } rows[] = {{"huge JPEG: end of its decoding", end},
              {"huge JPEG: abandoned near its end", abandon},
              {"360 MP picture freed", free360}};
  for (const Row& row : rows) {
    const GivingBack* f = row.figures;
    printf("%-34s %8.2f %8.2f %8.2f %7.0f %8.2f %9.2f %9.2f\n", row.name, f[0].call_ms, f[1].call_ms, f[1].piece_ms,
           f[1].pieces, f[1].pieces_ms, f[0].wait_ms, f[1].wait_ms);
  }
  Figure("give_back_end_at_once", end[0].Longest(), "huge JPEG's decoding ends: longest call, blocks freed at once");
  Figure("give_back_end_queued", end[1].Longest(), "the same, blocks queued: the end or a piece, the longer");
  Figure("give_back_abandon_at_once", abandon[0].Longest(), "huge JPEG abandoned near its end: longest call, at once");
  Figure("give_back_abandon_queued", abandon[1].Longest(), "the same, queued: the abandoning or a piece");
  Figure("give_back_360mp_heap", heap_free, "a written 360 MP block given back to the C heap");
  Figure("give_back_360mp_at_once", free360[0].Longest(), "a 360 MP picture freed, its block given back at once");
  Figure("give_back_360mp_queued", free360[1].Longest(), "the same, queued: the free or a piece");
  Figure("give_back_end_wait", end[1].wait_ms, "window: huge JPEG opened, longest wait (queued)");
  Figure("give_back_free_wait", free360[1].wait_ms, "window: another opened after it, longest wait (queued)");
  Figure("give_back_abandon_wait", abandon[1].wait_ms, "window: another opened during it, longest wait (queued)");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: viewer_bench <pictures folder> [rounds]\n");
    return 2;
  }
  std::string folder = argv[1];
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  int rounds = argc > 2 ? atoi(argv[2]) : 7;
  if (rounds < 1) rounds = 1;
  auto in = [&](const std::string& name) { return folder + "\\" + name; };

  CoInitialize(nullptr);   // the Open dialog's shell objects
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
  SetForegroundWindow(g_app.main_window->window);
  SetFocus(g_app.main_window->window);
  IdleFor(200);
  g_keyboard = GetForegroundWindow() == g_app.main_window->window;
  RECT client;
  GetClientRect(control->window, &client);
  double floor_private = double(PrivateBytes());
  g_probe.Start(g_app.main_window->window);

  // The plain decodes, each into a new bitmap, and the pixels that tell the
  // pictures apart.
  std::string first = in("first.jpg"), second = in("second.jpg");
  double decode = Median(rounds, [&] { delete LoadJpegFile(first.c_str()); });
  // The same into a block already used: without the first touch of fresh
  // memory.
  MemoryBitmap reused;
  LoadJpegFile(first.c_str(), &reused);
  double decode_reused = Median(rounds, [&] { LoadJpegFile(first.c_str(), &reused); });
  Fingerprint first_print = Decoded(first), second_print = Decoded(second);
  double picture_bytes = 4.0 * ((first_print.width + 3) & ~3) * first_print.height;

  // A step onto a picture that is not held: copies of the first picture
  // under other names, each key taken as soon as the picture before it is
  // on the screen (nothing prepared meanwhile).
  std::vector<std::string> copies;
  for (int i = 0; i < 100 && Exists(in("copy" + std::to_string(i) + ".jpg")); ++i) copies.push_back("copy" + std::to_string(i) + ".jpg");
  double step_cold = 0.0;
  if (copies.size() >= 2) {
    OpenList(folder, copies, &first_print);
    std::vector<double> times;
    for (int i = 1; i < int(copies.size()) && i <= rounds; ++i) times.push_back(Step(VK_RIGHT, i, &first_print));
    step_cold = MedianOf(times);
  }

  // Open: from Enter in the Open files dialog to the picture on the screen,
  // another large picture shown before; and the open path alone from the
  // dialog's selection.
  std::vector<double> dialog_times, open_times;
  for (int i = 0; i < rounds; ++i) {
    OpenList(folder, {"second.jpg"}, &second_print);
    IdleFor(300);
    double time = OpenThroughDialog(first, &first_print);
    if (time >= 0) dialog_times.push_back(time);
    OpenList(folder, {"second.jpg"}, &second_print);
    IdleFor(300);
    open_times.push_back(OpenList(folder, {"first.jpg"}, &first_print));
  }
  double open_dialog = dialog_times.empty() ? -1.0 : MedianOf(dialog_times);
  // The same when nothing large is held that the decode could reuse (as
  // the first Open after the start): two Opens of a small icon before.
  std::vector<double> fresh_times;
  if (Exists(in("icon.ico"))) {
    for (int i = 0; i < rounds; ++i) {
      OpenList(folder, {"icon.ico"});
      OpenList(folder, {"icon.ico"});
      IdleFor(300);
      double time = OpenThroughDialog(first, &first_print);
      if (time >= 0) fresh_times.push_back(time);
    }
  }
  double open_dialog_fresh = fresh_times.empty() ? -1.0 : MedianOf(fresh_times);
  double open = MedianOf(open_times);

  // Next onto a neighbour prepared while the user looked, one key at a time
  // over ten large JPEGs, the window's answers timed while looking.
  std::vector<double> prepared_times;
  Probe::Result looking;
  StepFigures browsing_steps = {0, -1, -1};
  double browse_ledger = -1.0;
  if (copies.size() >= 2) {
    OpenList(folder, {"second.jpg"}, &second_print);
    OpenList(folder, copies, &first_print);
    ResetStepStatistics();
    double looks = 0;
    for (int i = 1; i < int(copies.size()); ++i) {
      g_probe.Begin();
      IdleFor(1500);
      Probe::Result look = g_probe.End();
      looking.longest_ms = std::max(looking.longest_ms, look.longest_ms);
      looking.median_ms += look.median_ms;
      looking.p99_ms = std::max(looking.p99_ms, look.p99_ms);
      looking.peak_private = std::max(looking.peak_private, look.peak_private);
      looks += 1;
      prepared_times.push_back(Step(VK_RIGHT, i, &first_print));
    }
    looking.median_ms /= looks;
    browsing_steps = StepStatistics("jpeg");
    browse_ledger = LedgerPeak();
  }
  double prepared_next = prepared_times.empty() ? 0.0 : MedianOf(prepared_times);

  // Back to the picture just left after a look at the one beside it.
  std::vector<double> back_times;
  for (int i = 0; i < rounds; ++i) {
    OpenList(folder, {"first.jpg", "second.jpg"}, &first_print);
    IdleFor(500);
    Step(VK_RIGHT, 1, &second_print);
    IdleFor(1500);
    back_times.push_back(Step(VK_LEFT, 0, &first_print));
  }
  double back_to_left = MedianOf(back_times);

  // Keys held down: Right and Left between the two pictures, each key taken
  // as soon as the picture before it is on the screen.
  OpenList(folder, {"first.jpg", "second.jpg"}, &first_print);
  double held = Median(rounds, [&] {
    Step(VK_RIGHT, 1, &second_print);
    Step(VK_LEFT, 0, &first_print);
  }) / 2.0;

  // Every kind after the baseline JPEG: the plain decode; Right at once
  // (nothing held); Right after a look of 2 s (prepared) and Left back
  // (kept); the longest step meanwhile.
  struct KindFigures {
    bool present = false;
    double decode = 0, cold = 0, prepared = 0, back = 0;
    StepFigures steps = {0, -1, -1};
  } kinds[sizeof KINDS / sizeof KINDS[0]];
  for (size_t k = 0; k < sizeof KINDS / sizeof KINDS[0]; ++k) {
    std::string path = in(KINDS[k].file);
    if (!Exists(path)) continue;
    KindFigures& figures = kinds[k];
    figures.present = true;
    figures.decode = Median(rounds, [&] { delete LoadPictureFile(path.c_str(), nullptr); });
    Fingerprint print = Decoded(path);
    bool animated = IsGifPath(path.c_str());   // its first frame is what shows
    std::vector<double> cold, prepared, back;
    ResetStepStatistics();
    for (int i = 0; i < rounds; ++i) {
      // The first picture alone before, so that no picture of this kind is
      // kept from before (the picture left by an Open is kept).
      OpenList(folder, {"first.jpg"}, &first_print);
      OpenList(folder, {"first.jpg", KINDS[k].file}, &first_print);
      cold.push_back(Step(VK_RIGHT, 1, animated ? nullptr : &print));
      OpenList(folder, {"first.jpg"}, &first_print);
      OpenList(folder, {"first.jpg", KINDS[k].file}, &first_print);
      IdleFor(2000);
      prepared.push_back(Step(VK_RIGHT, 1, animated ? nullptr : &print));
      IdleFor(300);
      back.push_back(Step(VK_LEFT, 0, &first_print));
    }
    figures.cold = MedianOf(cold);
    figures.prepared = MedianOf(prepared);
    figures.back = MedianOf(back);
    figures.steps = StepStatistics(KINDS[k].name);
  }

  // An animated GIF: from the dialog's selection to its first frame, then
  // the processor time per second while it plays.
  double gif_open = 0.0, gif_cpu = 0.0;
  if (Exists(in("animation.gif"))) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
      OpenList(folder, {"first.jpg"}, &first_print);
      times.push_back(OpenList(folder, {"animation.gif"}));
    }
    gif_open = MedianOf(times);
    IdleFor(3000);   // the first loop read from the file
    double cpu = ProcessorMs(), start = Now();
    IdleFor(6000);
    gif_cpu = (ProcessorMs() - cpu) / (Now() - start);
  }

  AnimationFigures animation_figures = MeasureAnimations(folder, first_print);

  // Nine Right presses 33 ms apart over ten progressive JPEGs, the first
  // on the screen: from the last press to the tenth on the screen, the
  // longest wait for an answer meanwhile, and the peak of memory.
  std::vector<std::string> progressive;
  for (int i = 0; i < 10 && Exists(in("progressive" + std::to_string(i) + ".jpg")); ++i) progressive.push_back("progressive" + std::to_string(i) + ".jpg");
  double presses_settle = -1.0, presses_total = -1.0, presses_decode = 0.0;
  Probe::Result presses;
  double presses_key_wait = -1.0;
  StepFigures presses_steps = {0, -1, -1};
  double presses_ledger = -1.0;
  bool presses_last_shown = false;
  if (progressive.size() == 10) {
    Fingerprint first_progressive = Decoded(in(progressive[0]));
    Fingerprint last_progressive = Decoded(in(progressive[9]));
    presses_decode = Median(rounds, [&] { delete LoadJpegFile(in(progressive[9]).c_str()); });
    OpenList(folder, progressive, &first_progressive);
    ResetStepStatistics();
    std::vector<double> times;
    for (int i = 0; i < 9; ++i) times.push_back(33.0 * i);
    double start = Now();
    ForgetKeys();
    g_probe.Begin();
    presses_settle = KeysAtTimes(VK_RIGHT, times, 9, &last_progressive);
    presses = g_probe.End();
    presses_key_wait = LongestKeyWait();
    presses_total = Now() - start;
    presses_steps = StepStatistics("progressive");
    presses_ledger = LedgerPeak();
    presses_last_shown = Matches(control->picture, last_progressive) && control->files.current_index == 9;
  }

  // Composing one frame, with and without the effects, from the first
  // picture.
  OpenList(folder, {"first.jpg"}, &first_print);
  std::vector<std::string> compose_lines;
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
    auto set_all = [&](unsigned char on) {
      control->black_and_white = control->blur = control->flip_vertically = on;
      control->flip_horizontally = control->negative = control->log_transformation = on;
      control->illinify = on;
      control->rotation = on ? 90 : 0;
    };
    set_all(0);
    ComposeFrame(control, w, h);
    double plain = Median(rounds * 3, [&] { ComposeFrame(control, w, h); });
    set_all(1);
    double all = Median(rounds * 3, [&] { ComposeFrame(control, w, h); });
    set_all(0);
    char line[200];
    snprintf(line, sizeof line,
             "%d x %d: scaled copy alone %6.2f, frame without effects %6.2f (%.2fx), with all effects %6.2f (%.2fx)",
             w, h, copy, plain, plain / copy, all, all / copy);
    compose_lines.push_back(line);
  }
  ComposeFrame(control, client.right, client.bottom);
  InvalidateRect(control->window, nullptr, FALSE);
  PumpThroughProgram();

  // Two Right presses 33 ms apart over the huge progressive JPEG onto a 24
  // MP one: from the last press to that picture on the screen, against its
  // plain decode, whether the huge one was shown on the way, and the peak
  // of memory meanwhile.
  std::string huge = in("huge.jpg");
  SkipFigures skip;
  if (Exists(huge)) skip = SkipOverHugePicture(folder, first_print, second_print);

  // Opening a huge progressive JPEG (last: it leaves the most memory
  // behind), another picture shown before.
  double huge_open = -1.0, huge_decode = -1.0, huge_bytes = 0.0;
  Probe::Result huge_probe;
  StepFigures huge_steps = {0, -1, -1};
  double huge_ledger = -1.0;
  int huge_width = 0, huge_height = 0;
  if (Exists(huge)) {
    double start = Now();
    Bitmap* plain = LoadJpegFile(huge.c_str());
    huge_decode = Now() - start;
    if (plain) {
      huge_width = plain->Width();
      huge_height = plain->Height();
    }
    huge_bytes = PictureBytes(plain);
    delete plain;
    Fingerprint size_only;
    size_only.width = huge_width;
    size_only.height = huge_height;
    IdleFor(300);
    ResetStepStatistics();
    g_probe.Begin();
    huge_open = OpenThroughDialog(huge, &size_only);
    huge_probe = g_probe.End();
    huge_steps = StepStatistics("progressive");
    huge_ledger = LedgerPeak();
  }

  printf("picture %d x %d (%.1f MB), window client %ld x %ld, %d rounds, medians in ms\n", first_print.width,
         first_print.height, MegaBytes(picture_bytes), client.right, client.bottom, rounds);
  printf("this build %s; keys %s\n\n",
         SCHEDULES_DECODING ? "decodes every picture in steps" : PREPARES_NEIGHBOUR ? "prepares the neighbour" : "prepares nothing",
         g_keyboard ? "from the keyboard's input queue" : "posted to the main window");
  Figure("decode", decode, "24 MP baseline JPEG: plain decode (new bitmap)");
  Figure("decode_reused", decode_reused, "the same into a block used before (no first touch)");
  Figure("step_cold", step_cold, "Right onto it, not held: key to picture on the screen");
  Figure("open_dialog", open_dialog, "Open: Enter in the dialog to the picture on the screen");
  Figure("open_dialog_fresh", open_dialog_fresh, "the same with nothing held to reuse (fresh memory)");
  Figure("open", open, "Open: the dialog's selection to the picture on the screen");
  Figure("open_dialog_per_step", step_cold > 0 ? open_dialog / step_cold : 0.0, "open_dialog / step_cold");
  Figure("step_per_decode", step_cold / decode, "step_cold / decode");
  Figure("open_per_decode", open_dialog / decode, "open_dialog / decode");
  Figure("next_prepared", prepared_next, "Right after 1.5 s of looking (prepared)");
  Figure("next_held", held, "Right and Left between two, keys held down");
  Figure("back_to_left", back_to_left, "Left back to the picture just left, after 1.5 s");
  Figure("message_wait_p50", looking.median_ms, "while looking: median wait for an answer");
  Figure("message_wait_p99", looking.p99_ms, "while looking: 99th percentile of that wait");
  Figure("message_wait_max", looking.longest_ms, "while looking: longest wait for an answer");
  Figure("longest_step_browsing", browsing_steps.longest_ms, "while looking: longest decoding step");
  Figure("browse_beyond_mb", MegaBytes(looking.peak_private - floor_private - picture_bytes),
         "while looking: peak private memory beyond the floor and the shown picture");
  if (browse_ledger >= 0) Figure("browse_ledger_mb", MegaBytes(browse_ledger), "while looking: the program's ledger at its peak");
  printf("\n%-12s %9s %9s %9s %9s %12s %9s %9s\n", "kind", "decode", "cold", "prepared", "back", "longest step",
         "steps", "over 5ms");
  for (size_t k = 0; k < sizeof KINDS / sizeof KINDS[0]; ++k) {
    const KindFigures& f = kinds[k];
    if (!f.present) continue;
    printf("%-12s %9.2f %9.2f %9.2f %9.2f %12.2f %9.0f %9.0f\n", KINDS[k].name, f.decode, f.cold, f.prepared, f.back,
           f.steps.longest_ms, f.steps.steps, f.steps.long_steps);
  }
  for (size_t k = 0; k < sizeof KINDS / sizeof KINDS[0]; ++k) {
    const KindFigures& f = kinds[k];
    if (!f.present) continue;
    std::string name = KINDS[k].name;
    Figure((name + "_decode").c_str(), f.decode, "plain decode (new bitmap)");
    Figure((name + "_cold").c_str(), f.cold, "Right onto it at once, not held");
    Figure((name + "_prepared").c_str(), f.prepared, "Right onto it after 2 s");
    Figure((name + "_back").c_str(), f.back, "Left back to the JPEG");
    Figure((name + "_longest_step").c_str(), f.steps.longest_ms, "longest decoding step meanwhile");
  }
  if (gif_open > 0) {
    Figure("gif_open", gif_open, "the dialog's selection to the GIF's first frame");
    Figure("gif_cpu_per_s", gif_cpu, "processor seconds per second of animation");
  }
  PrintAnimationFigures(animation_figures);
  printf("\n");
  if (presses_settle >= 0) {
    Figure("presses_decode", presses_decode, "24 MP progressive JPEG: plain decode");
    Figure("presses_settle", presses_settle, "9 Right 33 ms apart: last press to the tenth on the screen");
    Figure("presses_total", presses_total, "first press to the tenth on the screen");
    Figure("presses_key_wait_max", presses_key_wait, "longest wait of a press to be taken from the queue");
    Figure("presses_wait_max", presses.longest_ms, "longest wait for an answer (a sent message) meanwhile");
    Figure("presses_wait_p99", presses.p99_ms, "99th percentile of that wait");
    Figure("presses_answers", presses.answered, "messages answered meanwhile");
    Figure("presses_beyond_mb", MegaBytes(presses.peak_private - floor_private - picture_bytes),
           "peak private memory beyond the floor and the shown picture");
    Figure("presses_longest_step", presses_steps.longest_ms, "longest decoding step meanwhile");
    if (presses_ledger >= 0) Figure("presses_ledger_mb", MegaBytes(presses_ledger), "the program's ledger at its peak");
    printf("the tenth picture %s on the screen at the end\n", presses_last_shown ? "is" : "is NOT");
  }
  if (skip.settle >= 0) {
    Figure("skip_settle", skip.settle, "2 Right 33 ms apart over the huge JPEG: last press to the 24 MP one shown");
    Figure("skip_per_decode", skip.settle / decode, "skip_settle / decode");
    Figure("skip_wait_max", skip.probe.longest_ms, "longest wait for an answer meanwhile");
    Figure("skip_beyond_mb", MegaBytes(skip.probe.peak_private - floor_private - picture_bytes),
           "peak private memory beyond the floor and the shown picture");
    printf("the huge picture %s on the way\n", skip.huge_shown ? "WAS SHOWN" : "was not shown");
  }
  if (huge_open >= 0 || huge_decode >= 0) {
    printf("huge picture %d x %d (%.0f MB)\n", huge_width, huge_height, MegaBytes(huge_bytes));
    Figure("huge_decode", huge_decode, "plain decode (new bitmap), once");
    Figure("huge_open", huge_open, "Open: Enter in the dialog to the picture on the screen");
    Figure("huge_wait_max", huge_probe.longest_ms, "longest wait for an answer meanwhile");
    Figure("huge_answers", huge_probe.answered, "messages answered meanwhile");
    Figure("huge_beyond_mb", MegaBytes(huge_probe.peak_private - floor_private - huge_bytes),
           "peak private memory beyond the floor and the shown picture");
    Figure("huge_longest_step", huge_steps.longest_ms, "longest decoding step meanwhile");
    if (huge_ledger >= 0) Figure("huge_ledger_mb", MegaBytes(huge_ledger), "the program's ledger at its peak");
  }
  printf("\n");
  Figure("floor_mb", MegaBytes(floor_private), "private memory before any picture (Wine's floor)");
  Figure("picture_mb", MegaBytes(picture_bytes), "one decoded 24 MP picture");
  Figure("frame_mb", 2.0 * client.right * client.bottom * 4 / 1048576.0, "frame and scratch bitmaps");
  printf("screen checks: %d of %d points showed the composed frame\n\n", g_screen_checks - g_screen_mismatches,
         g_screen_checks);
  for (const std::string& line : compose_lines) printf("%s\n", line.c_str());

  PrintGivingBack(folder);

  g_probe.Stop();
  DestroyWindow(g_app.main_window->window);
  PumpThroughProgram();
  delete g_app.main_window;
  CoUninitialize();
  return 0;
}
