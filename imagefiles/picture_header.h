#pragma once
// A quick look at the start of a picture file: its size in pixels, read from
// the header without decoding, so that work on a picture can be planned
// before it is started. Needs no Windows header.

#include <cstddef>

struct PictureHeader {
  int width;
  int height;
  // A JPEG that libjpeg reads whole before the first row comes out: a
  // progressive one, or one whose first scan holds fewer than all its
  // components.
  bool multiple_scans;
};

// Reads the size from a JPEG, PNG, GIF, BMP or ICO file, recognised by its
// first bytes (an icon counts as 16 x 16, the size the viewer shows it at).
// A JPEG's frame and first scan are read by libjpeg itself, so the answer is
// the decoder's. False when the file cannot be read or is none of these.
bool ReadPictureHeader(const char* path, PictureHeader* header);

// The same on a file held in memory.
bool ReadPictureHeaderBytes(const unsigned char* bytes, size_t size, PictureHeader* header);
