#pragma once
// The picture control: the child window that fills the main window's client
// area and shows the current picture. It composes every frame off screen
// (black background, the picture fitted and centred, the display effects,
// the rotation) and copies it to the window in one BitBlt. Its state object
// is reached through g_app.picture_control.
#include <windows.h>

#include "imagefiles/file_list.h"
#include "view/picture_preparation.h"

class Bitmap;
class DibBitmap;
struct GifFrameReader;

// Timers on the control's window.
const UINT_PTR TIMER_ANIMATION = 200;   // next frame of an animated GIF
const UINT_PTR TIMER_PREPARATION = 201; // a slice of preparing the neighbour
const UINT_PTR TIMER_MENU_SYNC = 202;   // menu greying and check marks
const UINT MENU_SYNC_PERIOD = 500;      // milliseconds
const UINT PREPARATION_PERIOD = 10;     // milliseconds, the shortest timer there is

struct PictureControl {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  DibBitmap* frame;      // owned: the composed frame, the size of the control
  Bitmap* picture;       // owned: the decoded current picture, or null
  DibBitmap* scratch;    // owned: copy of the frame for the flips and the rotation
  FileList files;        // the opened files and the position of the shown one
  GifFrameReader* animation;   // owned: set while an animated GIF is shown
  PreparedPicture prepared;    // the neighbour ahead and the picture just left
  HeldPicture shown;           // the shown picture's file and stamp (its bitmap is picture)
  int step;                    // +1 after Next (and at first), -1 after Previous
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

// Where the picture goes in a frame of frame_width x frame_height: scaled to
// touch two opposite edges and centred. False (and nothing drawn) when the
// picture or the frame has no area.
struct PictureFit {
  int x, y, width, height;
};
bool FitPicture(int frame_width, int frame_height, int picture_width, int picture_height,
                PictureFit* fit);

// Runs slices of the preparation until it is done or a message waits
// (input, painting, a timer), so that nothing waits for more than one slice.
// True when the preparation is done. The preparation timer calls it.
bool PrepareWhileIdle(PictureControl* control);

// Composes the frame for the control's current state into control->frame
// (created or resized to width x height), without touching the screen.
// The paint handler uses it; tests and benchmarks call it directly.
void ComposeFrame(PictureControl* control, int width, int height);
