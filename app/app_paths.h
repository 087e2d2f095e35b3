#pragma once
// Where the program's files are: the executable's folder and the settings
// file. No platform header.
#include <string>

// The folder of an executable path, ending with the separator ("\" or "/")
// that preceded the file name; the separator is searched from the end and
// must stand at index 1 or later. Empty when there is none.
std::string ExeFolderFromModulePath(const std::string& module_path);

// True for a directory entry that marks portable mode: exactly "portable",
// letter case included.
bool IsPortableMarkerName(const char* name);

// The settings folder in portable mode: exe_folder + "portable\".
std::string PortableSettingsFolder(const std::string& exe_folder);

// The settings folder in roaming mode: the roaming folder + "\Vistrel\".
std::string RoamingSettingsFolder(const std::string& roaming_folder);

// settings_folder + "vistrel.ini".
std::string SettingsPathIn(const std::string& settings_folder);
