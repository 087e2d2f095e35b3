#pragma once
// The Open files dialog: the platform's common Open dialog, modal to the main
// window, in which the user picks one or more picture files.
#include <windows.h>

// Size of the selection buffer ShowOpenFilesDialog returns, in bytes.
const size_t OPEN_FILES_BUFFER_SIZE = 0x40000;

// The filter list of the dialog: name and pattern pairs, each ended by a zero
// byte, the list ended by an empty string.
extern const char OPEN_FILES_FILTER[];
extern const size_t OPEN_FILES_FILTER_SIZE;   // bytes, the final zeros included

// Shows the dialog for owner. Returns a newly allocated buffer of
// OPEN_FILES_BUFFER_SIZE bytes (free it with free()) holding the selection:
// one full UTF-8 path, or the folder followed by each chosen name, each ended
// by a zero byte, with one more zero byte after the last name. Returns null
// when the user cancelled or the dialog failed. The process's current folder
// is the same afterwards, whatever folder was browsed.
char* ShowOpenFilesDialog(HWND owner);
