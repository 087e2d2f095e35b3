#pragma once
// An independent model of what the picture control must show: the fit rule,
// the nearest-neighbour scaling in 16.16 fixed point and the effect formulas,
// written straight from their definitions on a plain pixel array, so that a
// captured window can be compared with it pixel for pixel.
#include <cstdint>
#include <string>
#include <vector>

struct RefImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;   // 0xAARRGGBB, rows top first, no padding

  RefImage() = default;
  RefImage(int w, int h, uint32_t fill) : width(w), height(h), pixels(size_t(w) * h, fill) {}
  uint32_t& at(int x, int y) { return pixels[size_t(y) * width + x]; }
  uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

struct RefEffects {
  bool black_and_white = false;
  bool blur = false;
  bool flip_vertically = false;
  bool flip_horizontally = false;
  bool negative = false;
  bool log_transformation = false;
  bool illinify = false;
  int rotation = 0;
};

struct RefRect {
  int x, y, width, height;
};

// The fitted rectangle; false when either size is 0 or less.
bool RefFit(int frame_width, int frame_height, int picture_width, int picture_height, RefRect* r);

// The whole frame for a picture (null picture: black) with the effects on.
RefImage RefComposeFrame(const RefImage* picture, int width, int height, const RefEffects& effects);

// Number of differing pixels (RGB only, alpha ignored: the screen has none);
// the first difference is described in *first when given.
long RefCountDifferences(const RefImage& expected, const RefImage& actual, std::string* first);
