#include "imagefiles/bmp_file.h"

Bitmap* LoadBmpFile(const char* path, Bitmap* target) { return nullptr; }
