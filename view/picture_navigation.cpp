#include "view/picture_navigation.h"

#include <windows.h>

#include <cstdlib>

#include "base/app_state.h"
#include "imagefiles/file_list.h"
#include "imagefiles/gif_frame_reader.h"
#include "imagefiles/open_files_dialog.h"
#include "raster/bitmap.h"
#include "view/picture_control.h"

void ShowCurrentPicture() {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  if (control->animation) {
    CloseGifFrameReader(control->animation);
    control->animation = nullptr;
  }
  delete control->picture;
  control->picture = nullptr;
  FileList* files = &control->files;
  if (files->current_index >= 0 && files->current_index < FileCount(files)) {
    const char* path = FilePath(files, files->current_index);
    control->picture = LoadPictureFile(path, nullptr);
    if (IsGifPath(path)) {
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
  }
  InvalidateRect(control->window, nullptr, FALSE);
}

void OpenSelectedFiles(const char* selection) {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  if (ReplaceFileList(&control->files, selection)) ShowCurrentPicture();
}

void OpenPictureFiles() {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  char* selection = ShowOpenFilesDialog(GetParent(control->window));
  if (!selection) return;
  // The dialog runs its own message loop: the control may be gone by now.
  if (g_app.picture_control) OpenSelectedFiles(selection);
  free(selection);
}

void ShowNextPicture() {
  PictureControl* control = g_app.picture_control;
  if (control && StepToNextFile(&control->files)) ShowCurrentPicture();
}

void ShowPreviousPicture() {
  PictureControl* control = g_app.picture_control;
  if (control && StepToPreviousFile(&control->files)) ShowCurrentPicture();
}
