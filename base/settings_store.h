#pragma once
// Integer settings in section "vistrel" of the INI file at g_app.settings_path.
// Nothing is cached: every call goes to the file.

// The value of key, or default_value when the file, the section or the key is
// missing. Parsed as a decimal integer, optionally negative.
int ReadSettingInt(const char* key, int default_value);

// Writes key=value, creating the file, section or key as needed.
bool WriteSettingString(const char* key, const char* value);

// Writes an integer formatted with "%d".
bool WriteSettingInt(const char* key, int value);
