#pragma once
// A quick look at the start of a picture file: its size in pixels, read from
// the header without decoding, so that work on a picture can be planned
// before it is started. Needs no Windows header.

struct PictureHeader {
  int width;
  int height;
  // A JPEG whose scans are not all sequential (progressive): libjpeg reads
  // all of them before the first row comes out.
  bool multiple_scans;
};

// Reads the size from a JPEG, PNG, GIF, BMP or ICO file, recognised by its
// first bytes (an icon counts as 16 x 16, the size the viewer shows it at).
// False when the file cannot be read or is none of these.
bool ReadPictureHeader(const char* path, PictureHeader* header);
