#include "view/picture_navigation.h"

#include <windows.h>

#include <cstdlib>

#include "base/app_state.h"
#include "imagefiles/file_list.h"
#include "imagefiles/gif_frame_reader.h"
#include "imagefiles/open_files_dialog.h"
#include "raster/bitmap.h"
#include "view/picture_control.h"

namespace {

// Paints at once what waits to be painted in the main window and the
// control (the part a closed menu uncovered, say), with the picture still
// shown, so that no stale image stays on the screen while a decode runs.
void PaintWhatWaits(PictureControl* control) {
  RedrawWindow(GetParent(control->window), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// Starts preparing the file next to the shown one in the direction of the
// last move. At either end of the list there is none, and the memory kept
// for a preparation is given back.
void PrepareNeighbour(PictureControl* control) {
  const FileList* files = &control->files;
  int index = files->current_index + control->step;
  if (index < 0 || index >= FileCount(files)) {
    FreePreparedPicture(&control->prepared);
    KillTimer(control->window, TIMER_PREPARATION);
    return;
  }
  StartPreparing(&control->prepared, FilePath(files, index));
  SetTimer(control->window, TIMER_PREPARATION, PREPARATION_PERIOD, nullptr);
}

}  // namespace

void ShowCurrentPicture() {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  if (control->animation) {
    CloseGifFrameReader(control->animation);
    control->animation = nullptr;
  }
  FileList* files = &control->files;
  if (files->current_index >= 0 && files->current_index < FileCount(files)) {
    const char* path = FilePath(files, files->current_index);
    Bitmap* prepared = TakePreparedPicture(&control->prepared, path);
    if (prepared) {
      // The picture shown so far is the memory of the next preparation.
      KeepPreparationMemory(&control->prepared, control->picture);
      control->picture = prepared;
    } else {
      PaintWhatWaits(control);
      // Decoded into the memory of the picture it replaces: no fresh pages to
      // fault in. On failure nothing of the old picture may stay.
      Bitmap* outgoing = control->picture;
      control->picture = LoadPictureFile(path, outgoing);
      if (!control->picture) delete outgoing;
    }
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
  } else {
    delete control->picture;
    control->picture = nullptr;
  }
  InvalidateRect(control->window, nullptr, FALSE);
  PrepareNeighbour(control);
}

void OpenSelectedFiles(const char* selection) {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  if (!ReplaceFileList(&control->files, selection)) return;
  control->step = 1;
  ShowCurrentPicture();
}

void OpenPictureFiles() {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  char* selection = ShowOpenFilesDialog(GetParent(control->window));
  if (!selection) return;
  // The dialog runs its own message loop: the control may be gone by now.
  // Where the dialog stood, the window shows its frame again before the
  // first picture is decoded.
  if (g_app.picture_control) {
    RedrawWindow(GetParent(g_app.picture_control->window), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    OpenSelectedFiles(selection);
  }
  free(selection);
}

void ShowNextPicture() {
  PictureControl* control = g_app.picture_control;
  if (!control || !StepToNextFile(&control->files)) return;
  control->step = 1;
  ShowCurrentPicture();
}

void ShowPreviousPicture() {
  PictureControl* control = g_app.picture_control;
  if (!control || !StepToPreviousFile(&control->files)) return;
  control->step = -1;
  ShowCurrentPicture();
}
