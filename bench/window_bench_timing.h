#pragma once
// Timing helpers of the benchmarks that run in real windows under Wine.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "app/startup.h"

// Milliseconds on the performance counter.
inline double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// The median of a set of times (not empty).
inline double MedianOf(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Median of rounds runs of f, in milliseconds.
template <typename F>
double Median(int rounds, F f) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    double start = Now();
    f();
    times.push_back(Now() - start);
  }
  return MedianOf(times);
}

// Handles every message waiting in this thread's queue.
inline void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// The program's own message handling: shortcuts first, then dispatch.
inline void PumpThroughProgram() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ProcessLoopMessage(&message);
}

// Messages for the given time, timers included: the user looking. The time
// is looked at after every message: a timer due again whenever the loop
// comes round (the decoding's) keeps the queue from ever being empty.
inline void IdleFor(double milliseconds) {
  double end = Now() + milliseconds;
  while (Now() < end) {
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ProcessLoopMessage(&message);
    else MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
}
