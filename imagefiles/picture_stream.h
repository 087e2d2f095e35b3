// Opening a picture file for the decoders that read through stdio.
#pragma once

#include <cstdio>

// Opens a UTF-8 path for binary reading: converted strictly to UTF-16 and
// opened wide on Windows; when that fails (invalid UTF-8 included), the
// path's bytes go to fopen unchanged. Null when neither opens.
FILE* OpenPictureFile(const char* path);
