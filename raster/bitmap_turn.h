// Turning a whole bitmap by quarter turns and mirrors, a band of rows at a
// time, so that a long turn can be cut into short steps.
//
// The eight turns are numbered as Exif numbers a picture's orientation: the
// turn that makes a picture stored that way stand upright.
#pragma once

#include "raster/bitmap.h"

enum BitmapTurn {
  TURN_NONE = 1,
  TURN_MIRROR_LEFT_RIGHT = 2,
  TURN_180 = 3,
  TURN_MIRROR_TOP_BOTTOM = 4,
  TURN_TRANSPOSE = 5,    // mirrored along the top-left to bottom-right diagonal
  TURN_90 = 6,           // clockwise
  TURN_TRANSVERSE = 7,   // mirrored along the other diagonal
  TURN_270 = 8,          // clockwise, a quarter turn anticlockwise
};

// True for the turns that swap width and height (5 to 8): they need a second
// bitmap; the others are made in place.
bool TurnSwapsSides(int turn);

// Width and height once turned.
void TurnedSize(int turn, int width, int height, int* turned_width, int* turned_height);

// The rows of work of a turn of a width x height bitmap, done in order by
// TurnBitmapRows: for 5 to 8 the rows of the turned bitmap, for 2 the rows
// themselves, for 3 and 4 the pairs of rows swapped (a middle row counts as
// one); 0 for 1 or any other value.
int TurnRowCount(int turn, int width, int height);

// Rows [first, first + count) of the work. For 5 to 8 they are written into
// target (already of the turned size) from source; for 2 to 4 source is
// turned in place and target is not used. Nothing happens when the sizes do
// not match; rows outside the work are left out.
void TurnBitmapRows(Bitmap* source, Bitmap* target, int turn, int first, int count);

// For 5 to 8: the rows [first, first + rows) of a picture of height rows,
// held in the first rows of band (of the picture's width), into their
// places in target (already of the turned size). So a picture decoded row by row is
// turned as its rows come, a band at a time, without a second bitmap of its
// size. Nothing happens when the sizes do not match.
void TurnBitmapBand(Bitmap* band, int rows, int first, int height, Bitmap* target, int turn);

// The whole turn at once, into target (resized) for 5 to 8, in place otherwise.
void TurnBitmap(Bitmap* source, Bitmap* target, int turn);
