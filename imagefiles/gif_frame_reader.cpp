#include "imagefiles/gif_frame_reader.h"

GifFrameReader* OpenGifFrameReader(const char* path) { return nullptr; }
int ReadNextGifFrame(GifFrameReader* reader, Bitmap* target) { return GIF_FRAME_STOPPED; }
void RewindGifFrameReader(GifFrameReader* reader) {}
void CloseGifFrameReader(GifFrameReader* reader) {}
