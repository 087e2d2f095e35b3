// The orientation a camera records in a picture's Exif data: how the stored
// picture must be turned to stand upright. Needs no Windows header.
//
// Only IFD0's Orientation entry (tag 0x0112, one SHORT) is read, from bytes
// the caller has taken out of the file; every offset and count is checked
// against their size, and nothing outside them is followed.
#pragma once

#include <cstddef>

// Exif's numbering, the same as BitmapTurn's.
const int EXIF_ORIENTATION_UPRIGHT = 1;

// The payload of a JPEG APP1 segment (after its marker and length): "Exif",
// two zero bytes, then the TIFF header. 1 to 8, or 1 when the payload is no
// Exif, cannot be read or holds no valid orientation.
int ExifOrientationOfApp1(const unsigned char* payload, size_t size);

// The same from the TIFF header on, as a PNG eXIf chunk holds it.
int ExifOrientationOfTiff(const unsigned char* tiff, size_t size);
