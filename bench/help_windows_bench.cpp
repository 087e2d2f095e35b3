// What the About and License windows cost the machine, measured in the real
// windows: the time to render one About frame (with the font handle attached
// afresh, as every frame does) beside the same rows drawn with glyphs cached
// once, the process's CPU use while the credits roll for 10 seconds, and the
// time from the License command to the text shown. It prints figures and
// asserts nothing.
//
//   wine help_windows_bench.exe FOLDER_WITH_LICENSE_TXT [seconds]
//
// scripts/run-help-windows-bench.sh runs it on the license.txt of the build.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/build_info.h"
#include "app/startup.h"
#include "auxwindows/about_window.h"
#include "auxwindows/glyph_font.h"
#include "auxwindows/license_window.h"
#include "base/app_state.h"
#include "base/file_reader.h"
#include "base/utf8_platform.h"
#include "bench/window_bench_timing.h"
#include "raster/blitting.h"
#include "raster/dib_bitmap.h"

namespace {

double CpuMilliseconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

AboutBuildFacts Facts() {
  AboutBuildFacts facts;
  facts.version = ProgramVersion();
  facts.build_timestamp = BuildTimestamp();
  facts.commit_id = std::string(40, '0');
  facts.support_address = "support@vistrel.example.org";
  return facts;
}

// Milliseconds per frame rendered at the given scroll offset.
double FrameTime(AboutWindow* about, int offset, int frames) {
  std::vector<double> times;
  for (int i = 0; i < frames; ++i) {
    about->animation.scroll_offset = offset;
    double start = Now();
    about->RenderFrame();
    times.push_back(Now() - start);
  }
  return MedianOf(times);
}

// The same rows as a frame at the offset, drawn with a font whose glyphs stay cached.
double CachedFrameTime(AboutWindow* about, int offset, int frames) {
  LOGFONTA arial = {16, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"};
  GlyphFont font;
  font.AttachFont(CreateFontIndirectA(&arial), FONT_OWNS_HANDLE);
  font.SetForegroundColor(0xFFC0C0C0);
  std::vector<int> tops;
  std::vector<double> times;
  for (int i = 0; i < frames; ++i) {
    double start = Now();
    ClearBitmap(about->frame, 0xFF000000);
    AboutRowTops(about->rows, about->blank_rows.back(), offset, &tops);
    for (size_t row = 0; row < about->rows.size(); ++row) {
      if (about->rows[row].empty() || !IsAboutRowDrawn(tops[row])) continue;
      const char* text = about->rows[row].c_str();
      RECT r = {0, tops[row], 0, tops[row]};
      font.DrawString(about->frame, text, -1, &r, GLYPH_DT_CALCRECT | GLYPH_DT_SINGLELINE);
      int left = AboutRowLeft(ABOUT_FRAME_WIDTH / 2, r.right - r.left);
      RECT d = {left, tops[row], left + r.right - r.left, r.bottom};
      font.DrawString(about->frame, text, -1, &d, GLYPH_DT_SINGLELINE | TEXT_USE_COLOR_ALPHA);
    }
    times.push_back(Now() - start);
  }
  return MedianOf(times);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: help_windows_bench FOLDER_WITH_LICENSE_TXT [seconds]\n");
    return 2;
  }
  double seconds = argc > 2 ? atof(argv[2]) : 10.0;
  g_app.instance = GetModuleHandleA(nullptr);
  RegisterWindowClasses(g_app.instance);
  g_app.exe_folder = argv[1];
  if (!g_app.exe_folder.empty() && g_app.exe_folder.back() != '\\') g_app.exe_folder += '\\';
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  g_app.settings_folder = temp;
  g_app.settings_path = std::string(temp) + "vistrel-help-bench.ini";

  // One About frame.
  OpenAboutWindow(nullptr, Facts());
  AboutWindow* about = g_app.about_window;
  if (!about) {
    fprintf(stderr, "the About window did not open\n");
    return 1;
  }
  KillTimer(about->window, TIMER_ABOUT_FRAME);
  IdleFor(200);
  about->RenderFrame();   // computes the limit
  int full = 600;         // the frame full of rows
  double first = FrameTime(about, 0, 200);
  double busy = FrameTime(about, full, 200);
  double cached = CachedFrameTime(about, full, 200);
  printf("About frame, first frame (2 rows):         %7.3f ms\n", first);
  printf("About frame, frame full of rows:          %7.3f ms  (tick: 41 ms)\n", busy);
  printf("  same rows with glyphs cached once:      %7.3f ms  -> %.0f%% of the frame is the\n"
         "  per-frame font attachment and glyph rendering through GDI\n",
         cached, busy > 0 ? 100.0 * (busy - cached) / busy : 0.0);
  CloseAboutWindow();
  IdleFor(100);

  // CPU while the credits roll.
  OpenAboutWindow(nullptr, Facts());
  IdleFor(300);
  double cpu_start = CpuMilliseconds();
  double wall_start = Now();
  IdleFor(seconds * 1000.0);
  double cpu = CpuMilliseconds() - cpu_start;
  double wall = Now() - wall_start;
  int offset = g_app.about_window ? g_app.about_window->animation.scroll_offset : -1;
  printf("About rolling for %.0f s: CPU %.0f ms = %.2f%% of one core (offset reached %d)\n",
         wall / 1000.0, cpu, 100.0 * cpu / wall, offset);
  CloseAboutWindow();
  IdleFor(100);

  // License: from the command to the text shown.
  std::vector<double> opens;
  size_t length = 0;
  for (int i = 0; i < 9; ++i) {
    double start = Now();
    OpenLicenseWindow(nullptr);
    if (!g_app.license_window) break;
    UpdateWindow(g_app.license_window->window);
    opens.push_back(Now() - start);
    length = GetWindowTextLengthW(GetDlgItem(g_app.license_window->window, 1002));
    CloseLicenseWindow();
    IdleFor(50);
  }
  if (!opens.empty()) {
    printf("License window open to text shown: %.2f ms median of %zu (%zu characters)\n",
           MedianOf(opens), opens.size(), length);
    // Where the time goes: reading the file, and the text box taking the text.
    std::string path = g_app.exe_folder + "license.txt";
    std::string text;
    std::vector<double> reads;
    for (int i = 0; i < 9; ++i) {
      double start = Now();
      FileReader* reader = OpenFileReader(path.c_str(), 1, 8192);
      text.assign(static_cast<size_t>(FileReaderSize(reader)), '\0');
      ReadFileReader(reader, &text[0], static_cast<int>(text.size()));
      CloseFileReader(reader);
      reads.push_back(Now() - start);
    }
    OpenLicenseWindow(nullptr);
    std::vector<double> sets;
    for (int i = 0; g_app.license_window && i < 9; ++i) {
      double start = Now();
      Utf8SetDlgItemText(g_app.license_window->window, 1002, text.c_str());
      UpdateWindow(g_app.license_window->window);
      sets.push_back(Now() - start);
    }
    CloseLicenseWindow();
    printf("  reading license.txt: %.2f ms; the text box taking the text: %.2f ms\n",
           MedianOf(reads), sets.empty() ? 0.0 : MedianOf(sets));
  }
  DeleteFileA(g_app.settings_path.c_str());
  return 0;
}
