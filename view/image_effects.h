// The display effects of the picture view. They work on the composed frame
// only, never on the decoded picture.
#pragma once

#include <cstdint>

#include "raster/bitmap.h"

// One pixel each, for ApplyToRect: the reference definition of the four pixel
// effects. Alpha is kept; the context is not used.
void BlackAndWhitePixel(uint32_t* pixel, void* context);
void NegativePixel(uint32_t* pixel, void* context);
void LogTransformationPixel(uint32_t* pixel, void* context);
void IllinifyPixel(uint32_t* pixel, void* context);

// The pixel effects on the picture rectangle of the frame, clipped like
// ApplyToRect; they give exactly the results of the pixel functions.
void ApplyBlackAndWhite(Bitmap* frame, int x, int y, int width, int height);
void ApplyNegative(Bitmap* frame, int x, int y, int width, int height);
void ApplyLogTransformation(Bitmap* frame, int x, int y, int width, int height);
void ApplyIllinify(Bitmap* frame, int x, int y, int width, int height);

// The whole-frame effects. The flips and the rotation copy the frame into
// scratch, clear the frame to opaque black and draw the copy back mirrored or
// turned; the uncovered parts stay black. (The flips get the same pixels by
// swapping in place, leaving scratch alone, except at the scalar level.)
void ApplyBlur(Bitmap* frame);
void ApplyFlipVertically(Bitmap* frame, Bitmap* scratch);
void ApplyFlipHorizontally(Bitmap* frame, Bitmap* scratch);
// degrees is 90, 180 or 270 (clockwise on screen); anything else does nothing.
void ApplyRotation(Bitmap* frame, Bitmap* scratch, int degrees);

struct EffectSwitches {
  bool black_and_white = false;
  bool blur = false;
  bool flip_vertically = false;
  bool flip_horizontally = false;
  bool negative = false;
  bool log_transformation = false;
  bool illinify = false;
  int rotation = 0;  // 0, 90, 180 or 270
};

// All enabled effects in their fixed order: black and white, blur, flip
// vertically, flip horizontally, negative, log transformation, Illinify,
// rotation. The pixel effects work on the picture rectangle (x, y, width,
// height) as it was before any flip.
void ApplyEffects(Bitmap* frame, Bitmap* scratch, int x, int y, int width, int height, const EffectSwitches& effects);
