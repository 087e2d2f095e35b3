#include "view/picture_control.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/app_state.h"
#include "imagefiles/gif_frame_cache.h"
#include "imagefiles/gif_frame_reader.h"
#include "raster/blitting.h"
#include "raster/block_memory.h"
#include "raster/dib_bitmap.h"
#include "resources/resource_ids.h"
#include "view/image_effects.h"

namespace {

const uint32_t OPAQUE_BLACK = 0xFF000000u;

PictureControl* StateOf(HWND window) {
  return reinterpret_cast<PictureControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Ends the animation shown: its reader, its next frame and its timer.
void StopAnimation(PictureControl* control) {
  StopAnimationAhead(&control->ahead);
  CloseGifFrameReader(control->animation);
  control->animation = nullptr;
  KillTimer(control->window, TIMER_ANIMATION);
  control->frame_due = false;
}

// Releases everything the control owns except its own storage; safe to run twice.
void ReleaseContents(PictureControl* control) {
  if (g_app.picture_control == control) g_app.picture_control = nullptr;
  StopAnimation(control);
  // The picture is the schedule's.
  control->picture = nullptr;
  delete control->scratch;
  control->scratch = nullptr;
  delete control->frame;
  control->frame = nullptr;
  CloseGifFrameReader(control->schedule.animation);
  control->schedule.animation = nullptr;
  FreePictureSchedule(&control->schedule);
  // Nothing gives the freed blocks back any more: at once, then.
  ReleaseQueuedBlocks();
  DeferBlockRelease(false);
  ClearFileList(&control->files);
  KillTimer(control->window, TIMER_ANIMATION);
  KillTimer(control->window, TIMER_DECODING);
  control->decoding_timer = false;
  KillTimer(control->window, TIMER_MENU_SYNC);
}

// The frame size: the rectangle of the main dialog's item 1002 (this
// control) in the control's own coordinates.
RECT FrameRect(PictureControl* control) {
  RECT rect = {0, 0, 0, 0};
  HWND item = GetDlgItem(GetParent(control->window), IDC_PICTURE);
  if (!item) item = control->window;
  if (!GetWindowRect(item, &rect)) return RECT{0, 0, 0, 0};
  POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
  ScreenToClient(control->window, &corners[0]);
  ScreenToClient(control->window, &corners[1]);
  return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

void Paint(PictureControl* control) {
  RECT rect = FrameRect(control);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width > 0 && height > 0) ComposeFrame(control, width, height);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control->window, &paint);
  if (dc && width > 0 && height > 0 && control->frame && control->frame->DeviceContext()) {
    BitBlt(dc, rect.left, rect.top, width, height, control->frame->DeviceContext(), 0, 0, SRCCOPY);
  }
  EndPaint(control->window, &paint);
}

void SetAnimationTimer(PictureControl* control, int period) {
  KillTimer(control->window, TIMER_ANIMATION);
  SetTimer(control->window, TIMER_ANIMATION, static_cast<UINT>(period), nullptr);
  control->animation_period = period;
}

// Room in the ledger for what the animation holds beyond the shown picture:
// its frames kept for later loops, and the bitmap of the next frame.
void ReserveAnimationBytes(PictureControl* control) {
  int64_t bytes = 0;
  if (control->animation) {
    bytes = GifFrameCacheReservation(control->animation->cache) + AnimationAheadBytes(&control->ahead);
  }
  ReserveBytes(&control->schedule, bytes);
}

// A large animation's next frame, drawn ahead, at its time: as a small
// animation's tick would draw it.
void ShowAheadFrame(PictureControl* control) {
  control->frame_due = false;
  int delay = TakeAheadFrame(&control->ahead, &control->schedule.shown.bitmap);
  control->picture = control->schedule.shown.bitmap;
  // After the last frame the period stays: the first frame comes after it.
  SetAnimationTimer(control, delay >= 1 ? delay : control->animation_period);
  bool first_frame = delay >= 1 && control->ahead.state_after == 1;
  control->schedule.shown.first_delay = first_frame ? control->first_delay : -1;
  ReserveAnimationBytes(control);
  InvalidateRect(control->window, nullptr, FALSE);
}

void OnAnimationTick(PictureControl* control) {
  if (!control->animation) return;
  if (control->ahead.phase != AHEAD_OFF) {
    if (control->ahead.phase == AHEAD_READY) {
      ShowAheadFrame(control);
    } else {
      // Not drawn yet: the frame is shown as soon as it is, and its delay
      // counted from then.
      control->frame_due = true;
      KillTimer(control->window, TIMER_ANIMATION);
    }
    RunScheduledWork(control);
    return;
  }
  int delay = ReadNextGifFrame(control->animation, control->picture);
  if (delay >= 1) {
    SetAnimationTimer(control, delay);
  } else {
    // End of the frames or an error: the next tick starts from the first frame.
    RewindGifFrameReader(control->animation);
  }
  // Past its first frame the picture no longer shows the file as opened:
  // it is not kept for a step back then.
  control->schedule.shown.first_delay = control->animation->state == 1 ? control->first_delay : -1;
  ReserveAnimationBytes(control);
  InvalidateRect(control->window, nullptr, FALSE);
}

// One step of a large animation's next frame; false when there was none to do.
bool StepAnimation(PictureControl* control) {
  if (!control->animation || !StepAnimationAhead(&control->ahead, control->picture)) return false;
  if (control->ahead.phase == AHEAD_STOPPED) {
    // The file changed since its first frame was decoded: the picture stays still.
    StopAnimation(control);
    control->first_delay = 0;
    ReserveAnimationBytes(control);
  } else if (control->ahead.phase == AHEAD_READY && control->frame_due) {
    ShowAheadFrame(control);
  }
  return true;
}

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The schedule has shown another picture: its animation replaces the old
// one, and the window repaints.
void TakeShownPicture(PictureControl* control) {
  StopAnimation(control);
  PictureSchedule* schedule = &control->schedule;
  control->picture = schedule->shown.bitmap;
  control->first_delay = schedule->shown.first_delay;
  control->animation = schedule->animation;
  schedule->animation = nullptr;
  int skip_delay = 0;
  if (!control->animation && control->first_delay > 0) {
    // Shown from memory: a reader that starts after the first frame. A
    // large one reads past that frame in steps, before the next is drawn.
    GifFrameReader* reader = OpenGifFrameReader(schedule->shown.path.c_str());
    if (DrawsFramesAhead(reader)) {
      control->animation = reader;
      skip_delay = control->first_delay;
    } else if (SkipFirstGifFrame(reader, control->first_delay)) {
      control->animation = reader;
    } else {
      CloseGifFrameReader(reader);
    }
  }
  if (control->animation) {
    if (DrawsFramesAhead(control->animation)) StartAnimationAhead(&control->ahead, control->animation, skip_delay);
    SetAnimationTimer(control, control->first_delay);
  } else {
    control->first_delay = 0;
  }
  ReserveAnimationBytes(control);
  InvalidateRect(control->window, nullptr, FALSE);
}

// True when the window is one of the program's own (its class was
// registered by this module): its timers are answered between two steps.
bool OwnWindow(HWND window) {
  return window && reinterpret_cast<HINSTANCE>(GetClassLongPtrW(window, GCLP_HMODULE)) == g_app.instance;
}

// Answers the timers that are due, first come first: those of the
// program's windows (an animation, the About window's credits) are
// dispatched here, between two steps, so that they keep their pace however
// the system orders them against the decoding timer; that one is only
// taken from the queue, the work being under way. True when a timer of
// another window (a menu's, a system dialog's) is due first: the loop
// answers that one.
bool AnswerDueTimers(PictureControl* control) {
  // Each timer taken waits a period again: a handful of rounds takes all.
  for (int round = 0; round < 16; ++round) {
    MSG message;
    if (!PeekMessageW(&message, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE | PM_NOYIELD)) return false;
    bool decoding = message.hwnd == control->window && message.wParam == TIMER_DECODING;
    if (!decoding && !OwnWindow(message.hwnd)) return true;
    if (!PeekMessageW(&message, message.hwnd, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD)) return false;
    if (message.hwnd == control->window && message.wParam == TIMER_DECODING) continue;
    DispatchMessageW(&message);
  }
  return false;
}

// The messages that should be answered before the next step (none: go on): input at
// once, and while the picture asked for decodes, everything else (posted
// messages, other windows' timers) now and then; otherwise anything at
// all. The program's own timers are answered here (AnswerDueTimers). While
// the picture asked for decodes, what waits to be painted in the main
// window is painted here, at once, so that coming back for it later costs
// no timer's wait (the Open dialog leaves its place to be painted, a closed
// menu its own, an animation its frame).
DWORD MessagesWait(PictureControl* control, bool pending, double since_ms) {
  const DWORD all = QS_ALLINPUT;
  DWORD waiting = HIWORD(GetQueueStatus(all));
  if (waiting & QS_INPUT) return waiting;
  bool other_timer = false;
  if (waiting & QS_TIMER) {
    other_timer = AnswerDueTimers(control);
    waiting = HIWORD(GetQueueStatus(all));
  }
  // Another timer that came due meanwhile is answered at the next look.
  waiting = (waiting & ~QS_TIMER) | (other_timer ? QS_TIMER : 0);
  if (!pending || (waiting & QS_INPUT)) return waiting;
  if (waiting & QS_PAINT) {
    RedrawWindow(GetParent(control->window), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    // Another window of the program needs painting: the loop does that.
    waiting = (HIWORD(GetQueueStatus(all)) & ~QS_TIMER) | (other_timer ? QS_TIMER : 0);
    if (waiting & (QS_INPUT | QS_PAINT)) return waiting;
  }
  return NowMs() - since_ms >= DECODING_TIMER_PAUSE_MS ? waiting : 0;
}

// The "working in the background" arrow while the picture asked for is
// pending, over the picture; set again only when the wait begins or ends,
// whatever began or ended it (a step back onto a held picture ends it
// before any work is done).
void UpdateCursor(PictureControl* control) {
  bool pending = PicturePending(&control->schedule);
  if (pending == control->busy_cursor) return;
  control->busy_cursor = pending;
  POINT point;
  if (!GetCursorPos(&point) || WindowFromPoint(point) != control->window) return;
  SetCursor(LoadCursor(nullptr, pending ? IDC_APPSTARTING : IDC_ARROW));
}

void SyncMenu(PictureControl* control) {
  // The menu is the main window's, the control's parent.
  HMENU menu = GetMenu(GetParent(control->window));
  if (!menu) return;
  int count = FileCount(&control->files);
  if (count == 0) {
    EnableMenuItem(menu, CMD_NEXT, MF_GRAYED);
    EnableMenuItem(menu, CMD_PREVIOUS, MF_GRAYED);
  } else {
    EnableMenuItem(menu, CMD_NEXT, 0);
    EnableMenuItem(menu, CMD_PREVIOUS, 0);
    if (control->files.current_index == 0) EnableMenuItem(menu, CMD_PREVIOUS, MF_GRAYED);
    if (control->files.current_index == count - 1) EnableMenuItem(menu, CMD_NEXT, MF_GRAYED);
  }
  const struct {
    int command;
    unsigned char on;
  } checks[] = {
      {CMD_BLACK_AND_WHITE, control->black_and_white},
      {CMD_BLUR, control->blur},
      {CMD_FLIP_VERTICALLY, control->flip_vertically},
      {CMD_FLIP_HORIZONTALLY, control->flip_horizontally},
      {CMD_NEGATIVE, control->negative},
      {CMD_LOG_TRANSFORMATION, control->log_transformation},
      {CMD_ILLINIFY, control->illinify},
  };
  for (const auto& check : checks) {
    CheckMenuItem(menu, check.command, check.on ? MF_CHECKED : MF_UNCHECKED);
  }
  const int rotations[4][2] = {
      {CMD_ROTATE_0, 0}, {CMD_ROTATE_90, 90}, {CMD_ROTATE_180, 180}, {CMD_ROTATE_270, 270}};
  bool known = false;
  for (const auto& rotation : rotations) known = known || rotation[1] == control->rotation;
  if (!known) return;
  for (const auto& rotation : rotations) {
    CheckMenuItem(menu, rotation[0], rotation[1] == control->rotation ? MF_CHECKED : MF_UNCHECKED);
  }
}

}  // namespace

bool FitPicture(int frame_width, int frame_height, int picture_width, int picture_height,
                PictureFit* fit) {
  if (frame_width <= 0 || frame_height <= 0 || picture_width <= 0 || picture_height <= 0) {
    return false;
  }
  double frame_ratio = static_cast<double>(frame_width) / frame_height;
  double picture_ratio = static_cast<double>(picture_width) / picture_height;
  double larger = std::abs(picture_ratio) > std::abs(frame_ratio) ? std::abs(picture_ratio)
                                                                   : std::abs(frame_ratio);
  // The products are taken in 64 bits: a decoded picture can be up to about
  // 0x1FFFFFFF pixels on one side, and its side times the frame's overflows
  // 32 bits. The quotients are never larger than the frame.
  int64_t width, height;
  if (frame_ratio - picture_ratio > larger * 2.220446049250313e-16) {
    // The frame is relatively wider: full height.
    height = frame_height;
    width = static_cast<int64_t>(picture_width) * frame_height / picture_height;
  } else {
    width = frame_width;
    height = static_cast<int64_t>(picture_height) * frame_width / picture_width;
  }
  fit->width = static_cast<int>(width);
  fit->height = static_cast<int>(height);
  fit->x = (frame_width - fit->width) / 2;
  fit->y = (frame_height - fit->height) / 2;
  return true;
}

bool RunScheduledWork(PictureControl* control) {
  // A timer answered between two steps does not start the work again.
  if (control->working) return false;
  control->working = true;
  double start = NowMs();
  double checked = start - QUEUE_CHECK_MS;
  // The timer that brings the work back runs from the start and is left
  // running: by the time the work makes way for messages its period has
  // passed, and the work goes on as soon as they are answered. Setting it
  // then would make the work wait a whole period more.
  if (!control->decoding_timer) {
    control->decoding_timer = SetTimer(control->window, TIMER_DECODING, DECODING_PERIOD, nullptr) != 0;
  }
  bool done = false;
  DWORD waiting = 0;
  for (;;) {
    // Large blocks freed before go back to the system a piece at a time,
    // between the steps (before them while that comes first).
    bool released = ReleaseQueuedPiece();
    ScheduleResult result = released && ReleaseComesFirst(&control->schedule) ? SCHEDULE_BUSY
                                                                              : DoScheduledWork(&control->schedule);
    if (result == SCHEDULE_SHOWN) TakeShownPicture(control);
    // The next frame of a large animation, step for step with the
    // preparation of the neighbour; a picture asked for comes first, and
    // a picture just shown is painted first.
    bool animated = result != SCHEDULE_SHOWN && !PicturePending(&control->schedule) && StepAnimation(control);
    if (result == SCHEDULE_IDLE && !released && !animated) {
      done = true;
      break;
    }
    // A picture just shown waits to be painted: the queue is looked at then
    // too.
    double now = NowMs();
    if (result != SCHEDULE_SHOWN && now - checked < QUEUE_CHECK_MS) continue;
    checked = now;
    waiting = MessagesWait(control, PicturePending(&control->schedule), start);
    if (waiting) break;
  }
  if (done) {
    KillTimer(control->window, TIMER_DECODING);
    control->decoding_timer = false;
  } else if (!(waiting & ~(QS_SENDMESSAGE | QS_POSTMESSAGE)) && !control->work_posted) {
    // Only sent and posted messages wait: answered at once, and the work
    // goes on right after them (behind what is posted) rather than after
    // the decoding timer's period. Input, painting and timers come after
    // posted messages: the timer brings the work back after those.
    control->work_posted = PostMessageW(control->window, WM_PICTURE_WORK, 0, 0) != 0;
  }
  UpdateCursor(control);
  control->working = false;
  return done;
}

void ComposeFrame(PictureControl* control, int width, int height) {
  if (!control->frame) control->frame = new (std::nothrow) DibBitmap(width, height);
  if (!control->scratch) control->scratch = new (std::nothrow) DibBitmap(width, height);
  if (!control->frame || !control->scratch) return;
  control->frame->Resize(width, height);
  control->scratch->Resize(width, height);
  Bitmap* picture = control->picture;
  int picture_width = picture ? picture->Width() : 0;
  int picture_height = picture ? picture->Height() : 0;
  PictureFit fit;
  if (!picture || !FitPicture(width, height, picture_width, picture_height, &fit)) {
    ClearBitmap(control->frame, OPAQUE_BLACK);
    return;
  }
  // The scaled copy stores every pixel of the fitted rectangle, so only the
  // bars around it are cleared to black: the same frame as clearing all of
  // it first, without writing the picture's area twice.
  FillBitmapRect(control->frame, 0, 0, fit.x, height, OPAQUE_BLACK, 1.0f, BLEND_COPY);
  FillBitmapRect(control->frame, fit.x + fit.width, 0, width - fit.x - fit.width, height,
                 OPAQUE_BLACK, 1.0f, BLEND_COPY);
  FillBitmapRect(control->frame, fit.x, 0, fit.width, fit.y, OPAQUE_BLACK, 1.0f, BLEND_COPY);
  FillBitmapRect(control->frame, fit.x, fit.y + fit.height, fit.width,
                 height - fit.y - fit.height, OPAQUE_BLACK, 1.0f, BLEND_COPY);
  StretchBlitBitmap(control->frame, picture, fit.x, fit.y, fit.width, fit.height, 0.0f, 0.0f,
                    static_cast<float>(picture_width), static_cast<float>(picture_height), 1.0f,
                    BLEND_COPY);
  EffectSwitches effects;
  effects.black_and_white = control->black_and_white != 0;
  effects.blur = control->blur != 0;
  effects.flip_vertically = control->flip_vertically != 0;
  effects.flip_horizontally = control->flip_horizontally != 0;
  effects.negative = control->negative != 0;
  effects.log_transformation = control->log_transformation != 0;
  effects.illinify = control->illinify != 0;
  effects.rotation = control->rotation;
  ApplyEffects(control->frame, control->scratch, fit.x, fit.y, fit.width, fit.height, effects);
}

LRESULT CALLBACK PictureControlWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  PictureControl* control = StateOf(window);
  if (!control) {
    if (message != WM_NCCREATE) return 0;
    control = new (std::nothrow) PictureControl();
    if (control) {
      control->window = window;
      control->files = MakeFileList();
      control->source = new (std::nothrow) FilePictureSource();
      control->schedule = MakePictureSchedule(control->source);
      control->step = 1;
      if (!control->source) {
        FreeFileList(&control->files);
        delete control;
        control = nullptr;
      }
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
    if (!control) return FALSE;
    g_app.picture_control = control;
    SetTimer(window, TIMER_MENU_SYNC, MENU_SYNC_PERIOD, nullptr);
    // Freed large blocks wait for RunScheduledWork to give them back.
    DeferBlockRelease(true);
    return TRUE;
  }
  if (message == WM_NCDESTROY) {
    ReleaseContents(control);
    FreeFileList(&control->files);
    delete control->source;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    delete control;
    return 0;
  }
  control->message = message;
  control->wparam = wparam;
  control->lparam = lparam;
  switch (message) {
    case WM_CREATE:
      g_app.picture_control = control;
      control->frame = nullptr;
      control->picture = nullptr;
      control->scratch = nullptr;
      SetTimer(window, TIMER_MENU_SYNC, MENU_SYNC_PERIOD, nullptr);
      break;
    case WM_DESTROY:
      ReleaseContents(control);
      break;
    case WM_SIZE:
      InvalidateRect(window, nullptr, FALSE);
      break;
    case WM_PAINT:
      Paint(control);
      break;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && PicturePending(&control->schedule)) {
        SetCursor(LoadCursor(nullptr, IDC_APPSTARTING));
        return TRUE;
      }
      break;
    case WM_PICTURE_WORK:
      control->work_posted = false;
      RunScheduledWork(control);
      return 0;
    case WM_TIMER:
      if (control->wparam == TIMER_ANIMATION) {
        OnAnimationTick(control);
      } else if (control->wparam == TIMER_DECODING) {
        RunScheduledWork(control);
      } else if (control->wparam == TIMER_MENU_SYNC) {
        SyncMenu(control);
      }
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

void ToggleEffect(PictureControl* control, unsigned char* effect) {
  *effect = *effect ? 0 : 1;
  InvalidateRect(control->window, nullptr, FALSE);
}

void SetRotation(PictureControl* control, int degrees) {
  control->rotation = degrees;
  InvalidateRect(control->window, nullptr, FALSE);
}
