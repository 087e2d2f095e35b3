// Checks made before a BMP or ICO file goes to the Windows image loader.
// The loader maps the file and trusts the offsets and sizes in its headers;
// under some implementations a header pointing past the end of the file makes
// it read unmapped memory and crash, and a header that claims a huge picture
// makes it reserve gigabytes whatever the file holds. A file whose headers
// describe more data than it holds, or a picture larger than a bitmap may be
// (BitmapByteCount), is refused here instead. Well-formed files always pass.
#pragma once

#include <cstddef>
#include <cstdio>

// True when the BMP file's headers, colour table and (for uncompressed
// pictures) pixel rows lie within the file, and its size fits a bitmap
// (compressed pictures too).
bool BmpFitsItsFile(const char* path);

// True when every image of the icon file, wherever it lies, is within the
// file and fits a bitmap: a bitmap image with its header, colour table and
// both masks, a PNG image by the size in its IHDR.
bool IcoFitsItsFile(const char* path);

// The BMP check on a file open for reading, from its start; the read
// position is left anywhere.
bool BmpStreamFits(FILE* file);

// The same checks on a file held in memory.
bool BmpBytesFit(const unsigned char* bytes, size_t size);
bool IcoBytesFit(const unsigned char* bytes, size_t size);
