#pragma once
// What the About and License windows share: creating and showing the owned modeless dialog, closing it as its
// cancel command does; and what they share with the Changelog window: the position kept in the settings.
#include <windows.h>

#include "base/dialog_binding.h"

// Creates the modeless dialog from the template, owned by owner, with the
// object as its creation parameter, and shows it. Null when it failed.
HWND CreateHelpDialog(int template_id, HWND owner, DLGPROC procedure, void* object);

// Closes an open dialog the way Escape and the close button do.
void CancelHelpDialog(HWND window);

// Places the window at the position kept under the two keys (first time
// (0, 50)) with the given outer size, without activating it; a position on
// no monitor is moved onto the nearest one.
void PlaceFromSettings(HWND window, const char* x_key, const char* y_key, int width, int height);

// Keeps the window's left and top edges under the two keys.
void SavePosition(HWND window, const char* x_key, const char* y_key);
