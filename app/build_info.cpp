#include "app/build_info.h"

#include <string>

#include "app/build_timestamp.h"

// Generated when the build is configured: VISTREL_VERSION.
#include "vistrel_version.h"
// Generated at every build: VISTREL_BUILD_MOMENT and VISTREL_COMMIT_ID.
#include "vistrel_build_stamp.h"

#ifndef VISTREL_WEBSITE
#define VISTREL_WEBSITE "https://vistrel.example.org/"
#endif
#ifndef VISTREL_SUPPORT_EMAIL
#define VISTREL_SUPPORT_EMAIL "support@vistrel.example.org"
#endif

const char* ProgramVersion() {
  return VISTREL_VERSION;
}

const char* VersionText() {
  static const std::string text = std::string("Vistrel version: ") + VISTREL_VERSION +
                                  " (x64)\n"
                                  "\n"
                                  "Build timestamp: " + BuildTimestamp() + "\n"
                                  "Git commit: " VISTREL_COMMIT_ID;
  return text.c_str();
}

const char* WebsiteAddress() {
  return VISTREL_WEBSITE;
}

const char* BuildTimestamp() {
  static const std::string text = FormatBuildTimestamp(BuildMoment{VISTREL_BUILD_MOMENT});
  return text.c_str();
}

const char* CommitId() {
  return VISTREL_COMMIT_ID;
}

const char* SupportAddress() {
  return VISTREL_SUPPORT_EMAIL;
}
