#pragma once
// Facts fixed when the program is built.

// The text of the Version message box: version, build timestamp and commit id.
const char* VersionText();

// The product's website address.
const char* WebsiteAddress();
