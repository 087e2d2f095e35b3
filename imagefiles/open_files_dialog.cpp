#include "imagefiles/open_files_dialog.h"

#include <cstdlib>
#include <cstring>

#include "base/utf8_platform.h"
#include "base/utf8_text.h"

const char OPEN_FILES_FILTER[] =
    "All supported files\0*.jpg;*.jpeg;*.png;*.gif;*.bmp;*.ico\0"
    "JPEG files (*.JPEG)\0*.jpg;*.jpeg\0"
    "PNG files (*.PNG)\0*.png\0"
    "GIF files (*.GIF)\0*.gif\0"
    "BMP files (*.BMP)\0*.bmp\0"
    "ICO files (*.ICO)\0*.ico\0"
    "All files (*.*)\0*.*\0";
// The literal's own terminator ends the list.
const size_t OPEN_FILES_FILTER_SIZE = sizeof OPEN_FILES_FILTER;

namespace {

const DWORD OPEN_FILES_FLAGS =
    OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;

// Puts the saved folder back: the ANSI call does for short ASCII (or
// code-page) paths, the wrapper for the others.
void RestoreCurrentFolder(const char* folder) {
  size_t length = strlen(folder);
  if (length >= 256 || ClassifyUtf8(folder, length) == UTF8_VALID) {
    Utf8SetCurrentDirectory(folder);
  } else {
    SetCurrentDirectoryA(folder);
  }
}

}  // namespace

char* ShowOpenFilesDialog(HWND owner) {
  char current_folder[UTF8_PATH_BUFFER];
  if (!Utf8GetCurrentDirectory(current_folder)) current_folder[0] = 0;
  char* buffer = static_cast<char*>(calloc(OPEN_FILES_BUFFER_SIZE, 1));
  if (!buffer) return nullptr;

  Utf8OpenFileName record = {};
  record.struct_size = 152;
  record.owner = owner;
  record.instance = nullptr;
  record.filter = OPEN_FILES_FILTER;
  record.custom_filter = nullptr;
  record.max_custom_filter = 0;
  record.filter_index = 0;
  record.file = buffer;
  record.max_file = OPEN_FILES_BUFFER_SIZE - 1;
  record.file_title = nullptr;
  record.max_file_title = 0;
  record.initial_dir = current_folder;
  record.title = "Open files";
  record.flags = OPEN_FILES_FLAGS;
  record.file_offset = 0;
  record.file_extension = 0;
  record.default_ext = "jpg";
  BOOL chosen = Utf8GetOpenFileName(&record);

  if (current_folder[0]) RestoreCurrentFolder(current_folder);
  if (!chosen) {
    free(buffer);
    return nullptr;
  }
  return buffer;
}
