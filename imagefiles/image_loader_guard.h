// Checks made before a BMP or ICO file goes to the Windows image loader.
// The loader maps the file and trusts the offsets and sizes in its headers;
// under some implementations a header pointing past the end of the file makes
// it read unmapped memory and crash. A file whose headers describe more data
// than it holds is refused here instead. Well-formed files always pass.
#pragma once

// True when the BMP file's headers, colour table and (for uncompressed
// pictures) pixel rows lie within the file.
bool BmpFitsItsFile(const char* path);

// True when every image of the icon file lies within the file and, for the
// bitmap images, its header, colour table and both masks fit the image's size.
bool IcoFitsItsFile(const char* path);
