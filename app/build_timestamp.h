#pragma once
// The build's date and time as the program shows them: the compiler's form
// "Mmm dd yyyy hh:mm:ss", whose day is padded by a space ("Dec  7 2026").
// No platform header.
#include <string>

struct BuildMoment {
  int year = 0;
  int month = 0;    // 1 to 12
  int day = 0;      // 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// "Dec  7 2026 13:14:35"; a month outside 1 to 12 shows as "???".
std::string FormatBuildTimestamp(const BuildMoment& moment);
