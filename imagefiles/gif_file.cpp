#include "imagefiles/gif_file.h"

Bitmap* LoadGifFile(const char* path, Bitmap* target) { return nullptr; }
