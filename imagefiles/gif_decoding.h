// GIF decoding on an open giflib handle, whatever the bytes come from. Used
// by LoadGifFile and by the frame reader, which give giflib a file reader.
#pragma once

struct GifFileType;
class Bitmap;

// Draws the image whose descriptor was just read (gif is positioned after
// it) into target: pixels equal to transparent_index (-1: none) are not
// written; with first_image set the whole target is cleared to the
// background first. With a null target the image's lines are only read, so
// the file moves past the image. The image is clipped to the target.
void DrawGifImage(Bitmap* target, GifFileType* gif, int transparent_index, bool first_image);

// The whole-file decoding: the images up to and including the first one
// that follows a delay, drawn over each other into target or into a new
// MemoryBitmap of the logical screen's size. Null when no image was drawn
// (a bitmap made here is deleted then). The handle stays open.
Bitmap* DecodeGifImages(GifFileType* gif, Bitmap* target);

// Codes of DrawNextGifImage (and of ReadNextGifFrame).
const int GIF_FRAME_STOPPED = -2;          // no reader, or it has stopped
const int GIF_FRAME_BAD_SIZE = -3;         // target did not take the screen's size
const int GIF_FRAME_BAD_DESCRIPTOR = -4;   // reading an image descriptor failed
const int GIF_FRAME_BAD_RECORD = -5;       // a record type could not be read or is unknown
const int GIF_FRAME_BAD_LATER_BLOCK = -8;  // a later data block of an extension failed
const int GIF_FRAME_BAD_EXTENSION = -9;    // an extension's label or first block failed
const int GIF_FRAME_END = -10;             // the terminator was reached

// Reads records up to the next image and draws it into target (which must
// already have the logical screen's size, or be null). Returns the frame's
// delay in milliseconds, or one of the negative codes above.
int DrawNextGifImage(GifFileType* gif, Bitmap* target, bool first_image);

// giflib keeps a copy of every image descriptor it reads; a looping
// animation would grow that list forever. Drops the copies.
void ForgetSavedGifImages(GifFileType* gif);
