#pragma once
// UTF-8 text and its UTF-16 form at the platform boundary. Everything inside
// the program is UTF-8; these functions decide how a text crosses into the
// platform's "W" or "A" functions and do the conversions. No platform header.
#include <cstddef>

#ifdef _WIN32
typedef wchar_t utf16_char;   // the platform's own wide character
#else
typedef char16_t utf16_char;
#endif

enum Utf8Kind {
  UTF8_ASCII,     // only bytes below 0x80
  UTF8_VALID,     // valid UTF-8 with at least one non-ASCII character
  UTF8_INVALID    // not valid UTF-8 (taken to be in the system code page)
};

// Byte counts gathered while classifying a text.
struct Utf8Census {
  size_t total_bytes;
  size_t multibyte_bytes;   // bytes inside valid multi-byte sequences
  size_t invalid_bytes;     // bytes not part of any valid sequence
};

Utf8Kind ClassifyUtf8(const char* text, size_t length, Utf8Census* census = nullptr);

// For window titles, control texts and message boxes: an invalid text is
// still shown as Unicode when the bytes of its valid multi-byte sequences are
// at least five times its invalid bytes, or at least three quarters of all
// its bytes.
bool IsMostlyUtf8(const Utf8Census& census);

// How a text goes to the platform.
enum TextRoute {
  ROUTE_ANSI,            // the "A" function, bytes unchanged
  ROUTE_WIDE,            // the "W" function, strict conversion
  ROUTE_WIDE_LENIENT     // the "W" function, invalid bytes dropped
};

// Route of a displayed text (title, control text, message box).
TextRoute DisplayTextRoute(const char* text);
// Route of a path or a name: wide when valid UTF-8 with non-ASCII characters,
// and for paths of 256 bytes or more.
TextRoute PathRoute(const char* path, bool is_path);

// UTF-8 to UTF-16. Writes at most capacity units, terminator included, and
// returns the number of units written without the terminator; with a null
// out only counts. Returns -1 when the text is not valid (strict mode: any
// invalid byte, a surrogate or a character above U+10FFFF) or does not fit.
// In lenient mode invalid bytes are dropped instead. Characters above U+FFFF
// become surrogate pairs.
long Utf8ToUtf16(const char* text, size_t length, utf16_char* out, size_t capacity,
                 bool lenient);

// UTF-16 to UTF-8, strict: an unpaired surrogate fails. Same conventions as
// above (capacity in bytes, terminator included).
long Utf16ToUtf8(const utf16_char* text, size_t length, char* out, size_t capacity);

// Length of a zero-terminated UTF-16 string.
size_t Utf16Length(const utf16_char* text);
