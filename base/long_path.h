#pragma once
// The platform's long-path form for wide path calls.
#include <cstddef>

#include "base/utf8_text.h"

// Rewrites a zero-terminated UTF-16 path in place just before a wide path
// call, when it is 256 characters or longer: "C:..." gains the prefix
// "\\?\", "\\server\share..." becomes "\\?\UNC\server\share...", and after a
// prefix every "/" becomes "\". Other paths, shorter paths and paths that
// already carry a "\\?\" or "\\.\" prefix are left as they are. capacity is
// the buffer's size in units; a path whose longer form would not fit is left
// unchanged and false is returned.
bool ExpandLongPath(utf16_char* path, size_t capacity);
