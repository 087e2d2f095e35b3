#pragma once
// Opening a file with the C runtime by a UTF-8 path. Needs no Windows header,
// so the decoders that read through stdio use it in both configurations.
#include <cstdio>

// On Windows the path is converted strictly to UTF-16 (long paths take the
// long-path form) and opened wide; when that fails (invalid UTF-8 included)
// the path's bytes are opened unchanged, except for a mode that writes, so
// that no second file with a garbled name is created. A file opened for
// reading is shared with reading, writing and deleting (CreateFile, then a
// stream on its handle): another program may rewrite, rename or delete it
// while it is read. Elsewhere: fopen.
FILE* Utf8OpenFile(const char* path, const char* mode);
