#pragma once
// The picture control: the child window that fills the main window's client
// area and shows the current picture. It composes every frame off screen
// (black background, the picture fitted and centred, the display effects,
// the rotation) and copies it to the window in one BitBlt. Its state object
// is reached through g_app.picture_control.
#include <windows.h>

#include "imagefiles/file_list.h"
#include "view/animation_ahead.h"
#include "view/file_picture_source.h"
#include "view/picture_schedule.h"

class Bitmap;
class DibBitmap;
struct GifFrameReader;

// Timers on the control's window.
const UINT_PTR TIMER_ANIMATION = 200;   // next frame of an animated GIF
const UINT_PTR TIMER_DECODING = 201;    // more decoding work after messages were answered
const UINT_PTR TIMER_MENU_SYNC = 202;   // menu greying and check marks
const UINT MENU_SYNC_PERIOD = 500;      // milliseconds
const UINT DECODING_PERIOD = 10;        // milliseconds, the shortest timer there is
// While a picture asked for decodes, posted messages and the timers of
// windows not the program's (a menu's) are answered this often; input,
// painting and the program's own timers (an animation, the About window's
// credits) at once.
const double DECODING_TIMER_PAUSE_MS = 50.0;
// Posted to the control when the work made way for messages that leave no
// timer due to bring it back soon (sent and posted ones): it goes on once
// they are answered.
const UINT WM_PICTURE_WORK = WM_USER + 1;
// Between decoding steps the queue is looked at this often, not after every
// step: asking costs a round trip to the window system (some 20 to 50
// microseconds to the server under Wine), a good part of a short step.
const double QUEUE_CHECK_MS = 2.0;

struct PictureControl {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  DibBitmap* frame;      // owned: the composed frame, the size of the control
  Bitmap* picture;       // the decoded current picture, or null (held by the schedule)
  DibBitmap* scratch;    // owned: copy of the frame for the flips and the rotation
  FileList files;        // the opened files and the position of the shown one
  GifFrameReader* animation;   // owned: set while an animated GIF is shown
  FilePictureSource* source;   // owned: the files and their decoders
  PictureSchedule schedule;    // the shown picture, what is held beyond it, the decoding under way
  bool decoding_timer;         // TIMER_DECODING is running
  int first_delay;             // the shown animation's first delay
  int step;                    // +1 after Next (and at first), -1 after Previous
  bool busy_cursor;            // the pointer was last set to the busy arrow
  AnimationAhead ahead;        // a large animation's next frame, drawn between its ticks
  int animation_period;        // TIMER_ANIMATION's period, ms
  bool frame_due;              // the next frame's time has come: it is shown once drawn
  bool working;                // RunScheduledWork is under way (timers answered from it)
  bool work_posted;            // WM_PICTURE_WORK waits in the queue
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

// Runs the schedule's work, step by step, and gives freed large blocks back
// a piece at a time, until nothing remains or a message waits; the decoding
// timer (or WM_PICTURE_WORK) calls it again later. While the picture at the
// position is pending only input and painting interrupt at once. Timers of
// the program's windows that come due meanwhile are answered between two
// steps. A large animation's next frame is drawn in the same steps while no
// picture is pending. True when nothing remains to be done.
bool RunScheduledWork(PictureControl* control);

// Composes the frame for the control's current state into control->frame
// (created or resized to width x height), without touching the screen.
// The paint handler uses it; tests and benchmarks call it directly.
void ComposeFrame(PictureControl* control, int width, int height);
