#include "imagefiles/file_list.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/main_window.h"
#include "imagefiles/bmp_file.h"
#include "imagefiles/gif_file.h"
#include "imagefiles/gif_frame_reader.h"
#include "imagefiles/ico_file.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/open_files_dialog.h"
#include "imagefiles/png_file.h"
#include "raster/bitmap.h"
#include "view/picture_control.h"

namespace {

typedef Bitmap* (*Decoder)(const char* path, Bitmap* target);

// Extensions compared byte for byte, lower case only, in this order.
const struct {
  const char* extension;
  Decoder decoder;
} DECODERS[] = {
    {".jpg", LoadJpegFile}, {".jpeg", LoadJpegFile}, {".png", LoadPngFile},
    {".gif", LoadGifFile},  {".bmp", LoadBmpFile},   {".ico", LoadIcoFile},
};

}  // namespace

const char* PathExtension(const char* path) {
  size_t length = strlen(path);
  for (size_t i = length; i > 0; --i) {
    char c = path[i - 1];
    if (c == '/' || c == '\\') break;
    if (c == '.') return path + i - 1;
  }
  return path + length;
}

void ShowCurrentPicture() {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  if (control->animation) {
    CloseGifFrameReader(control->animation);
    control->animation = nullptr;
  }
  delete control->picture;
  control->picture = nullptr;
  int count = FileCount(control);
  if (control->current_index >= 0 && control->current_index < count) {
    const char* path = FilePath(control, control->current_index);
    const char* extension = PathExtension(path);
    for (const auto& entry : DECODERS) {
      if (strcmp(extension, entry.extension) != 0) continue;
      control->picture = entry.decoder(path, nullptr);
      if (entry.decoder == LoadGifFile) {
        control->animation = OpenGifFrameReader(path);
        int delay = control->animation && control->picture
                        ? ReadNextGifFrame(control->animation, control->picture)
                        : 0;
        if (delay > 0) {
          SetTimer(control->window, TIMER_ANIMATION, static_cast<UINT>(delay), nullptr);
        } else if (control->animation) {
          CloseGifFrameReader(control->animation);
          control->animation = nullptr;
        }
      }
      break;
    }
  }
  InvalidateRect(control->window, nullptr, FALSE);
}

void OpenSelectedFiles(const char* selection) {
  PictureControl* control = g_app.picture_control;
  if (!control || !selection || !selection[0]) return;
  ClearFileList(control);
  const char* name = selection + strlen(selection) + 1;
  if (!*name) {
    AppendFilePath(control, selection);
  } else {
    // A folder and names: the separator is always added, so a drive root
    // gives "C:\\name", which the platform accepts.
    std::string path;
    for (; *name; name += strlen(name) + 1) {
      path.assign(selection);
      path += '\\';
      path += name;
      AppendFilePath(control, path.c_str());
    }
  }
  if (FileCount(control) > 0) {
    control->current_index = 0;
    ShowCurrentPicture();
  }
}

void OpenPictureFiles() {
  if (!g_app.picture_control) return;
  HWND owner = g_app.main_window ? g_app.main_window->window : nullptr;
  char* selection = ShowOpenFilesDialog(owner);
  if (!selection) return;
  // The dialog runs its own message loop: the control may be gone by now.
  if (g_app.picture_control) OpenSelectedFiles(selection);
  free(selection);
}

void ShowNextPicture() {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  int count = FileCount(control);
  if (count == 0) return;
  if (control->current_index + 1 > count - 1) {
    control->current_index = count - 1;
    return;
  }
  ++control->current_index;
  ShowCurrentPicture();
}

void ShowPreviousPicture() {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  if (FileCount(control) == 0) return;
  if (control->current_index - 1 < 0) {
    control->current_index = 0;
    return;
  }
  --control->current_index;
  ShowCurrentPicture();
}
