#include "base/settings_store.h"

#include <cstdio>

#include "base/app_state.h"
#include "base/utf8_platform.h"
#include "base/utf8_text.h"

namespace {

const char SECTION[] = "vistrel";

// The wide profile functions are used when the settings path is not plain
// ASCII; the path never gets the long-path form.
bool UseWideProfile() {
  return ClassifyUtf8(g_app.settings_path.c_str(), g_app.settings_path.size()) != UTF8_ASCII;
}

}  // namespace

int ReadSettingInt(const char* key, int default_value) {
  const char* path = g_app.settings_path.c_str();
  if (UseWideProfile()) {
    WideText wide_path, wide_section, wide_key;
    if (wide_path.Convert(path, false) && wide_section.Convert(SECTION, false) &&
        wide_key.Convert(key, false)) {
      return static_cast<int>(
          GetPrivateProfileIntW(wide_section.text, wide_key.text, default_value, wide_path.text));
    }
  }
  return static_cast<int>(GetPrivateProfileIntA(SECTION, key, default_value, path));
}

bool WriteSettingString(const char* key, const char* value) {
  const char* path = g_app.settings_path.c_str();
  if (UseWideProfile()) {
    WideText wide_path, wide_section, wide_key, wide_value;
    if (wide_path.Convert(path, false) && wide_section.Convert(SECTION, false) &&
        wide_key.Convert(key, false) && wide_value.Convert(value, false)) {
      return WritePrivateProfileStringW(wide_section.text, wide_key.text, wide_value.text,
                                        wide_path.text) != 0;
    }
  }
  return WritePrivateProfileStringA(SECTION, key, value, path) != 0;
}

bool WriteSettingInt(const char* key, int value) {
  char text[16];
  snprintf(text, sizeof text, "%d", value);
  return WriteSettingString(key, text);
}
