// ICO pictures through the Windows image loader.
#pragma once

class Bitmap;

// Decodes the icon file at a UTF-8 path as a 16 x 16 icon (the loader picks
// and scales the best image) into target or into a new MemoryBitmap, with
// alpha recovered from the icon drawn on black and on white. Null on any
// failure.
Bitmap* LoadIcoFile(const char* path, Bitmap* target = nullptr);
