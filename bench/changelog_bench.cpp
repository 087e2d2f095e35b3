// What the user waits for in the Changelog window, measured in the real
// window on a 10 MB changelog of 200,000 lines: opening it up to the first
// painted frame, a search that finds nothing, a full repaint, Page Down at
// two file lengths, and the memory the lines take. Each figure is printed
// beside a baseline measured in the same run (reading the file whole, a bare
// scan of its bytes). It prints figures and asserts nothing.
//
//   wine changelog_bench.exe [rounds]
//
// scripts/run-changelog-bench.sh runs it under a virtual display.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/startup.h"
#include "auxwindows/changelog_window.h"
#include "auxwindows/key_codes.h"
#include "base/app_state.h"
#include "bench/window_bench_timing.h"

namespace {

// A changelog of the given number of lines, about 50 bytes each: version
// headings, tab-indented entries, blank lines.
std::string MakeChangelog(int lines) {
  std::string text;
  text.reserve(static_cast<size_t>(lines) * 52);
  unsigned seed = 12345;
  static const char* const WORDS[] = {"picture", "window", "faster", "opens", "GIF", "frame",
                                      "memory", "the", "a", "fixed", "menu", "keys", "shows"};
  for (int i = 0; i < lines; ++i) {
    if (i % 20 == 0) {
      text += "Version 1." + std::to_string(i / 20) + "\r\n";
      continue;
    }
    if (i % 20 == 19) {
      text += "\r\n";
      continue;
    }
    std::string line = "\t- ";
    while (line.size() < 53) {
      seed = seed * 1103515245u + 12345u;
      line += WORDS[(seed >> 16) % 13];
      line += ' ';
    }
    text += line + "\r\n";
  }
  return text;
}

size_t ProcessMemory() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage;
}

struct OpenFigures {
  double open_ms;
  double read_ms;
  double page_down_ms;
  size_t lines_bytes;
  size_t process_bytes;
};

// Opens the Changelog for the file, up to its first painted frame.
HWND OpenAndPaint() {
  OpenChangelogWindow(nullptr);
  HWND control = GetDlgItem(g_app.changelog_window->window, IDC_CHANGELOG_VIEW);
  UpdateWindow(control);
  GdiFlush();
  return control;
}

OpenFigures MeasureFile(const std::string& folder, int lines, int rounds) {
  std::string text = MakeChangelog(lines);
  std::string path = folder + "changelog.txt";
  FILE* file = fopen(path.c_str(), "wb");
  fwrite(text.data(), 1, text.size(), file);
  fclose(file);

  OpenFigures f = {};
  f.read_ms = Median(rounds, [&] {
    FILE* in = fopen(path.c_str(), "rb");
    std::vector<char> whole(text.size());
    size_t got = fread(whole.data(), 1, whole.size(), in);
    fclose(in);
    volatile size_t feeds = std::count(whole.data(), whole.data() + got, '\n');
    (void)feeds;
  });
  size_t before = ProcessMemory();
  std::vector<double> opens;
  for (int i = 0; i < rounds; ++i) {
    if (g_app.changelog_window) DestroyWindow(g_app.changelog_window->window);
    Pump();
    double start = Now();
    OpenAndPaint();
    opens.push_back(Now() - start);
  }
  std::sort(opens.begin(), opens.end());
  f.open_ms = opens[opens.size() / 2];
  Pump();
  f.process_bytes = ProcessMemory() - before;
  TextView* view = g_app.changelog_window->view;
  f.lines_bytes = TextLinesMemory(&view->text);
  // Page Down from the start, drawing each step; 50 pages stay within even
  // the short file, so that every press scrolls.
  const int presses = 50;
  f.page_down_ms = Median(rounds, [&] {
    view->cursor = {0, 0};
    view->pane_first[0] = 0;
    view->Draw();
    for (int i = 0; i < presses; ++i) view->HandleKey(KEY_NPAGE);
  }) / presses;
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 5;
  if (rounds < 1) rounds = 1;
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  g_app.instance = GetModuleHandleA(nullptr);
  RegisterWindowClasses(g_app.instance);
  g_app.exe_folder = temp;
  g_app.settings_folder = temp;
  g_app.settings_path = std::string(temp) + "changelog_bench.ini";

  OpenFigures small = MeasureFile(temp, 2000, rounds);
  if (g_app.changelog_window) DestroyWindow(g_app.changelog_window->window);
  Pump();
  OpenFigures large = MeasureFile(temp, 200000, rounds);
  std::string text = MakeChangelog(200000);
  TextView* view = g_app.changelog_window->view;
  HWND control = GetDlgItem(g_app.changelog_window->window, IDC_CHANGELOG_VIEW);

  // A search through the whole text that finds nothing, beside a bare scan
  // of the file's bytes for the same word.
  view->search_text = "zebra";
  view->cursor = {0, 0};
  double search_ms = Median(rounds, [&] {
    view->Search(true);
    view->mode = MODE_NORMAL;
  });
  double scan_ms = Median(rounds, [&] {
    volatile bool found = text.find("zebra") != std::string::npos;
    (void)found;
  });
  // A full repaint of the window's control.
  double repaint_ms = Median(rounds * 4, [&] {
    InvalidateRect(control, nullptr, FALSE);
    UpdateWindow(control);
    GdiFlush();
  });

  printf("changelog: %d lines, %.1f MB\n", 200000, text.size() / 1048576.0);
  printf("open to first paint:   %8.1f ms   (reading the file whole: %.1f ms, ratio %.1f)\n",
         large.open_ms, large.read_ms, large.open_ms / large.read_ms);
  printf("search, nothing found: %8.1f ms   (bare scan of the bytes: %.1f ms, ratio %.1f)\n",
         search_ms, scan_ms, search_ms / scan_ms);
  printf("full repaint 620x505:  %8.2f ms\n", repaint_ms);
  printf("Page Down:             %8.3f ms at 200,000 lines, %.3f ms at 2,000 lines (ratio %.2f)\n",
         large.page_down_ms, small.page_down_ms, large.page_down_ms / small.page_down_ms);
  printf("memory of the lines:   %8.1f MB = %.2f x the file; process grew by %.1f MB = %.2f x\n",
         large.lines_bytes / 1048576.0, double(large.lines_bytes) / text.size(),
         large.process_bytes / 1048576.0, double(large.process_bytes) / text.size());

  if (g_app.changelog_window) DestroyWindow(g_app.changelog_window->window);
  Pump();
  DeleteFileA((std::string(temp) + "changelog.txt").c_str());
  DeleteFileA(g_app.settings_path.c_str());
  return 0;
}
