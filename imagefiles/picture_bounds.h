// How large a picture a file of a given length can hold at all, per format,
// from the format's own maximum compression. A decoder asks before it sizes
// anything after the picture: a claim its file cannot back is refused, so a
// few bytes never cost a picture's worth of memory and time. A file cut
// short that still holds a real part of its picture stays far above these
// bounds and keeps opening. Needs no Windows header.
#pragma once

#include <cstdint>
#include <cstdio>

struct jpeg_decompress_struct;

// Largest picture taken from a file whose format lets a few bytes describe
// any size (a BMP's run-length codes, a GIF's logical screen): 2^27 pixels,
// a bitmap of 512 MB.
const int64_t MAX_UNBACKED_PIXELS = int64_t(1) << 27;

// Bytes from the file's current position to its end; INT64_MAX when that
// cannot be told (nothing is refused then). The position is kept.
int64_t FileBytesLeft(FILE* file);
// The read position of a file, or -1 when it cannot be told.
int64_t FilePosition(FILE* file);

// JPEG, right after jpeg_read_header: true when a file of file_bytes can
// hold every 8 x 8 block of every component of the frame.
bool JpegFitsFile(const jpeg_decompress_struct* cinfo, int64_t file_bytes);

// Smallest JPEG file that holds `blocks` Huffman-coded 8 x 8 blocks.
int64_t JpegLeastBytes(int64_t blocks);

// Smallest PNG file that holds a picture with the given header fields.
int64_t PngLeastBytes(int64_t width, int64_t height, int bit_depth, int colour_type, bool interlaced);

// GIF: true when `pixels` of an image can come from a file of file_bytes.
bool GifImageFitsFile(int64_t pixels, int64_t file_bytes);

// GIF, before the screen's bitmap is sized for the first image (at left,
// top, width x height): the screen within MAX_UNBACKED_PIXELS (the
// background fills any screen from nothing), and the part of the image on
// the screen within what the file can hold.
bool GifScreenFitsFile(int screen_width, int screen_height, int left, int top, int width, int height,
                       int64_t file_bytes);

// GIF logical screens and run-length BMPs: true up to MAX_UNBACKED_PIXELS.
bool UnbackedPictureFits(int64_t width, int64_t height);
