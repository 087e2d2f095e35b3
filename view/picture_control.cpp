#include "view/picture_control.h"

#include <new>

#include "app/app_state.h"

namespace {

PictureControl* StateOf(HWND window) {
  return reinterpret_cast<PictureControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void Paint(PictureControl* control) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control->window, &paint);
  if (dc) {
    RECT client;
    GetClientRect(control->window, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(control->window, &paint);
  }
}

}  // namespace

LRESULT CALLBACK PictureControlWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  PictureControl* control = StateOf(window);
  if (!control) {
    if (message != WM_NCCREATE) return 0;
    control = new (std::nothrow) PictureControl();
    if (!control) return FALSE;
    control->window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
    g_app.picture_control = control;
    return TRUE;
  }
  if (message == WM_NCDESTROY) {
    if (g_app.picture_control == control) g_app.picture_control = nullptr;
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
      break;
    case WM_DESTROY:
      if (g_app.picture_control == control) g_app.picture_control = nullptr;
      break;
    case WM_SIZE:
      InvalidateRect(window, nullptr, FALSE);
      break;
    case WM_PAINT:
      Paint(control);
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
