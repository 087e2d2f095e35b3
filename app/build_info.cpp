#include "app/build_info.h"

// Generated at every build: VISTREL_BUILD_TIMESTAMP and VISTREL_COMMIT_ID.
#include "vistrel_build_stamp.h"

#ifndef VISTREL_WEBSITE
#define VISTREL_WEBSITE "https://vistrel.example.org/"
#endif
#ifndef VISTREL_SUPPORT_EMAIL
#define VISTREL_SUPPORT_EMAIL "support@vistrel.example.org"
#endif

const char* VersionText() {
  return "Vistrel version: 1.11 (x64)\n"
         "\n"
         "Build timestamp: " VISTREL_BUILD_TIMESTAMP "\n"
         "Git commit: " VISTREL_COMMIT_ID;
}

const char* WebsiteAddress() {
  return VISTREL_WEBSITE;
}

const char* BuildTimestamp() {
  return VISTREL_BUILD_TIMESTAMP;
}

const char* CommitId() {
  return VISTREL_COMMIT_ID;
}

const char* SupportAddress() {
  return VISTREL_SUPPORT_EMAIL;
}
