#pragma once
// The list of pictures the user opened in one go and the position in it. The
// picture control owns one; next and previous move the position, never past
// either end, and the list is never sorted.
#include <string>
#include <vector>

#include "base/growable_buffer.h"

class Bitmap;

struct FileList {
  GrowableBuffer paths;   // owned char* UTF-8 paths, in the order chosen
  int current_index;      // 0-based position of the shown file
};

// An empty list with its position at 0.
FileList MakeFileList();
// Empties the list and frees its storage.
void FreeFileList(FileList* list);

// Number of files in the list and the path at index (no bounds check).
int FileCount(const FileList* list);
const char* FilePath(const FileList* list, int index);
// Deletes every path of the list, last to first, leaving it empty; the
// array's storage is kept.
void ClearFileList(FileList* list);
// Appends a copy of path; false when memory runs out.
bool AppendFilePath(FileList* list, const char* path);

// The paths of a selection in the Open dialog's form: one full path, or a
// folder followed by names, the list ended by an empty string.
std::vector<std::string> SelectionPaths(const char* selection);
// Replaces the list with paths, in their order, and puts the position on the
// first file. True when the list then holds a file; no paths leave the list
// untouched.
bool ReplaceFileList(FileList* list, const std::vector<std::string>& paths);
// Moves the position one file forward or back. False at either end, where
// the position is pinned to that end instead.
bool StepToNextFile(FileList* list);
bool StepToPreviousFile(FileList* list);

// The extension of path with its dot: from the last "." after the last "/"
// or "\" to the end, or an empty text when there is none.
const char* PathExtension(const char* path);
// True when the extension of path is `extension` (given in lower case, with
// its dot) in any ASCII case: cameras name their photos DSC_0001.JPG.
bool HasExtension(const char* path, const char* extension);
// True when path names a GIF file, which may be animated.
bool IsGifPath(const char* path);
// Decodes path with the decoder its extension (in any case) picks, into
// target when given. Null when no decoder takes the extension or decoding
// fails.
Bitmap* LoadPictureFile(const char* path, Bitmap* target);
