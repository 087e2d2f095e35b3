#pragma once
// Facts fixed when the program is built.

// The program's version, as the project states it ("1.11").
const char* ProgramVersion();

// The text of the Version message box: version, build timestamp and commit id.
const char* VersionText();

// The product's website address.
const char* WebsiteAddress();

// The build's date and time ("Mmm dd yyyy hh:mm:ss", the day padded by a
// space) and its commit id.
const char* BuildTimestamp();
const char* CommitId();

// The support e-mail address.
const char* SupportAddress();
