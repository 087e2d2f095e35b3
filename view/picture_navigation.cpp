#include "view/picture_navigation.h"

#include <windows.h>

#include <cstdlib>
#include <string>

#include "base/app_state.h"
#include "base/utf8_platform.h"
#include "imagefiles/file_list.h"
#include "imagefiles/open_files_dialog.h"
#include "imagefiles/picture_decoding.h"
#include "view/picture_control.h"
#include "view/picture_schedule.h"

namespace {

// The file to prepare after the shown one: next to it in the direction of
// the last move, or at either end of the list the only neighbour there is.
std::string NeighbourPath(const PictureControl* control) {
  const FileList* files = &control->files;
  int index = files->current_index + control->step;
  if (index < 0 || index >= FileCount(files)) index = files->current_index - control->step;
  if (index < 0 || index >= FileCount(files)) return std::string();
  return FilePath(files, index);
}

}  // namespace

void ShowCurrentPicture() {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  const FileList* files = &control->files;
  if (files->current_index < 0 || files->current_index >= FileCount(files)) return;
  // The picture shown so far stays on the screen until the next is ready;
  // a held one is swapped in at once, any other decoded step by step.
  WantPicture(&control->schedule, FilePath(files, files->current_index), NeighbourPath(control));
  RunScheduledWork(control);
}

void OpenPicturePaths(const std::vector<std::string>& paths) {
  PictureControl* control = g_app.picture_control;
  if (!control) return;
  if (!ReplaceFileList(&control->files, paths)) return;
  control->step = 1;
  // Every picture of the old list is given up, and its decoding at once.
  ForgetPictures(&control->schedule);
  ShowCurrentPicture();
}

void OpenSelectedFiles(const char* selection) { OpenPicturePaths(SelectionPaths(selection)); }

void OpenDroppedFiles(const std::vector<std::string>& dropped) {
  std::vector<std::string> paths;
  std::vector<std::string> names;
  for (const std::string& path : dropped) {
    if (path.empty()) continue;
    if (!Utf8ListFolderFiles(path.c_str(), &names)) {
      paths.push_back(path);
      continue;
    }
    std::string folder = path;
    if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
    for (const std::string& name : names) {
      if (PictureKindOf(name.c_str()) != PICTURE_KIND_OTHER) paths.push_back(folder + name);
    }
  }
  OpenPicturePaths(paths);
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
