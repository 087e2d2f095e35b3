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
// last move, or at either end of the list the only neighbour there is,
// unless that is the picture just left, which is kept. With nothing to
// prepare, the memory kept for a preparation is given back.
void PrepareNeighbour(PictureControl* control) {
  const FileList* files = &control->files;
  int index = files->current_index + control->step;
  if (index < 0 || index >= FileCount(files)) index = files->current_index - control->step;
  PreparedPicture* prepared = &control->prepared;
  bool kept = index >= 0 && index < FileCount(files) && prepared->kept.bitmap && prepared->kept.path == FilePath(files, index);
  if (index < 0 || index >= FileCount(files) || kept) {
    StopPreparing(prepared);
    KillTimer(control->window, TIMER_PREPARATION);
    return;
  }
  StartPreparing(prepared, FilePath(files, index));
  SetTimer(control->window, TIMER_PREPARATION, PREPARATION_PERIOD, nullptr);
}

// The shown picture as it is held when it is left, its animation closed. An
// animation that has gone past its first frame holds another picture than
// the one the file is shown with: it is not kept (first delay -1).
HeldPicture LeavePicture(PictureControl* control) {
  HeldPicture leaving = control->shown;
  leaving.bitmap = control->picture;
  control->picture = nullptr;
  if (control->animation) leaving.first_delay = control->animation->state == 1 ? control->animation->elapsed : -1;
  CloseGifFrameReader(control->animation);
  control->animation = nullptr;
  return leaving;
}

// Decodes path at once, into the memory of a preparation when there is
// some, and notes what tells whether the file changes later.
HeldPicture DecodeNow(PictureControl* control, const char* path) {
  HeldPicture picture;
  picture.path = path;
  picture.first_delay = 0;
  if (!ReadFileStamp(path, &picture.stamp)) picture.stamp = FileStamp{-1, 0, 0, 0};
  PaintWhatWaits(control);
  Bitmap* memory = TakePreparationMemory(&control->prepared);
  if (IsGifPath(path)) {
    picture.bitmap = LoadGifFirstFrame(path, memory, &picture.first_delay, &control->animation);
  } else {
    picture.bitmap = LoadPictureFile(path, memory);
  }
  // On failure nothing of the memory may stay.
  if (!picture.bitmap) delete memory;
  else picture.bitmap = FitPictureMemory(picture.bitmap);
  return picture;
}

}  // namespace

void ShowCurrentPicture() {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  // The picture shown so far stays on the screen until the next is ready.
  HeldPicture leaving = LeavePicture(control);
  control->picture = leaving.bitmap;
  FileList* files = &control->files;
  HeldPicture shown;
  shown.bitmap = nullptr;
  shown.stamp = FileStamp{-1, 0, 0, 0};
  shown.first_delay = 0;
  if (files->current_index >= 0 && files->current_index < FileCount(files)) {
    const char* path = FilePath(files, files->current_index);
    // Back onto the picture just left, or onto the one prepared ahead: the
    // bitmaps are swapped. Otherwise the file is decoded now.
    if (TakeKeptPicture(&control->prepared, path, &shown) ||
        TakePreparedPicture(&control->prepared, path, &shown)) {
      if (shown.first_delay > 0) control->animation = ResumeGifAnimation(path, shown.first_delay);
    } else {
      shown = DecodeNow(control, path);
    }
    if (control->animation) {
      SetTimer(control->window, TIMER_ANIMATION, static_cast<UINT>(shown.first_delay), nullptr);
    } else {
      shown.first_delay = 0;
    }
  }
  KeepPicture(&control->prepared, leaving);
  control->picture = shown.bitmap;
  control->shown = shown;
  control->shown.bitmap = nullptr;
  InvalidateRect(control->window, nullptr, FALSE);
  PrepareNeighbour(control);
}

void OpenSelectedFiles(const char* selection) {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  if (!ReplaceFileList(&control->files, selection)) return;
  control->step = 1;
  // The picture kept for a step back belonged to the old list.
  DropKeptPicture(&control->prepared);
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
