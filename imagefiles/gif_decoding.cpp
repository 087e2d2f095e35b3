#include "imagefiles/gif_decoding.h"

void DrawGifImage(Bitmap* target, GifFileType* gif, int transparent_index, bool first_image) {}
Bitmap* DecodeGifImages(GifFileType* gif, Bitmap* target) { return nullptr; }
int ReadGifFrame(GifFileType* gif, Bitmap* target, bool first_image) { return GIF_FRAME_END; }
void ForgetSavedGifImages(GifFileType* gif) {}
