#include "app/app_paths.h"

#include <cstring>

std::string ExeFolderFromModulePath(const std::string& module_path) {
  for (size_t i = module_path.size(); i-- > 1;) {
    if (module_path[i] == '\\' || module_path[i] == '/') return module_path.substr(0, i + 1);
  }
  return std::string();
}

bool IsPortableMarkerName(const char* name) {
  return strcmp(name, "portable") == 0;
}

std::string PortableSettingsFolder(const std::string& exe_folder) {
  return exe_folder + "portable" + "\\";
}

std::string RoamingSettingsFolder(const std::string& roaming_folder) {
  return roaming_folder + "\\Vistrel\\";
}

std::string SettingsPathIn(const std::string& settings_folder) {
  return settings_folder + "vistrel" + ".ini";
}
