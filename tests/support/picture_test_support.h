#pragma once
// Shared by the picture control, file list and viewer tests: the test
// pictures, bitmaps as plain pixel arrays, PNG output of captured frames.
#include <windows.h>

#include <string>

#include "raster/bitmap.h"
#include "tests/support/reference_frame.h"

// Folder of the committed test pictures, ending with a backslash.
std::string TestPictureFolder();

RefImage ImageOf(const Bitmap* bitmap);
// A new MemoryBitmap with the image's pixels.
Bitmap* BitmapOf(const RefImage& image);
// A pattern picture whose neighbouring pixels all differ.
RefImage PatternImage(int width, int height, int seed);

// Writes an RGB PNG (stored deflate blocks): enough for a person to look at.
bool SavePng(const RefImage& image, const std::string& path);

// A rectangle of the screen as it is now, and a window's client area on the
// screen with every pixel made opaque.
RefImage CaptureScreen(const RECT& r);
RefImage CaptureClient(HWND window);
