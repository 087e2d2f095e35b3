#include "app/build_timestamp.h"

#include <cstdio>

std::string FormatBuildTimestamp(const BuildMoment& moment) {
  static const char* const MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const char* month = moment.month >= 1 && moment.month <= 12 ? MONTHS[moment.month - 1] : "???";
  char text[64];
  std::snprintf(text, sizeof text, "%s %2d %4d %02d:%02d:%02d", month, moment.day, moment.year,
                moment.hour, moment.minute, moment.second);
  return text;
}
