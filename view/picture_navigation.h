#pragma once
// Opening pictures and stepping through them: open files (Ctrl+A), next
// (Right arrow) and previous (Left arrow) on the picture control's file list
// (g_app.picture_control). Each time the position lands on a file, that file
// is decoded and becomes the current picture.

// Shows the Open files dialog for the main window and, when files were
// chosen, replaces the list with them and shows the first.
void OpenPictureFiles();
// Moves one file forward or back and shows it; nothing at either end.
void ShowNextPicture();
void ShowPreviousPicture();
// Decodes the file at the current index and hands it to the picture control.
void ShowCurrentPicture();

// Replaces the list with a selection in the dialog's form (one full path, or
// a folder followed by names, the list ended by an empty string) and shows
// the first file. OpenPictureFiles uses it for the dialog's result.
void OpenSelectedFiles(const char* selection);
