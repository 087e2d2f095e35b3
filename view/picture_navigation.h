#pragma once
// Opening pictures and stepping through them: open files (Ctrl+A), next
// (Right arrow) and previous (Left arrow) on the picture control's file list
// (g_app.picture_control). Each time the position lands on a file, that file
// is decoded and becomes the current picture.
#include <string>
#include <vector>

// Shows the Open files dialog for the main window and, when files were
// chosen, replaces the list with them and shows the first.
void OpenPictureFiles();
// Moves one file forward or back and shows it; nothing at either end.
void ShowNextPicture();
void ShowPreviousPicture();
// Decodes the file at the current index and hands it to the picture control.
void ShowCurrentPicture();

// The list becomes paths, in their order, and the first is shown: the way
// of every open. Nothing changes when paths is empty.
void OpenPicturePaths(const std::vector<std::string>& paths);
// Opens a selection in the dialog's form (one full path, or a folder
// followed by names, the list ended by an empty string). OpenPictureFiles
// uses it for the dialog's result.
void OpenSelectedFiles(const char* selection);
// Opens what was dropped on the window, in the order given: a file as it
// is (of any kind, as the dialog lets through), a folder as the picture
// files directly inside it, in Explorer's order.
void OpenDroppedFiles(const std::vector<std::string>& dropped);
