#include "imagefiles/ico_file.h"

Bitmap* LoadIcoFile(const char* path, Bitmap* target) { return nullptr; }
