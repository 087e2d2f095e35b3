#include "imagefiles/jpeg_file.h"

Bitmap* LoadJpegFile(const char* path, Bitmap* target) { return nullptr; }
Bitmap* DecodeJpegStream(FILE* file, Bitmap* target) { return nullptr; }
