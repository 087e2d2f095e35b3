#pragma once
// Unpacks a ZIP archive (stored or deflated entries) into a folder, as the
// user's unzip tool would, for the tests of the portable package.
#include <string>
#include <vector>

// Extracts every entry of zip_path below folder (ending with a backslash);
// entries ending with "/" become folders. The entry names, in archive order,
// go to *names. False when the archive is damaged, an entry's CRC does not
// match, or a name would leave the folder.
bool ExtractZip(const std::string& zip_path, const std::string& folder,
                std::vector<std::string>* names);
