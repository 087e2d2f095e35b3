#pragma once
// The picture control: the child window that fills the main window's client
// area and shows the current picture. Its state object is reached through
// g_app.picture_control.
#include <windows.h>

struct PictureControl {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  // Display effect switches, 0 or 1, and the rotation in degrees
  // (0, 90, 180 or 270, clockwise on screen).
  unsigned char black_and_white;
  unsigned char blur;
  int rotation;
  unsigned char flip_vertically;
  unsigned char flip_horizontally;
  unsigned char negative;
  unsigned char log_transformation;
  unsigned char illinify;
};

// Window procedure of the class "picture_control_superhost".
LRESULT CALLBACK PictureControlWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Inverts one effect switch and repaints.
void ToggleEffect(PictureControl* control, unsigned char* effect);
// Sets the rotation (0, 90, 180 or 270) and repaints.
void SetRotation(PictureControl* control, int degrees);
