#include "base/dialog_binding.h"

void* BindDialogObject(HWND window, UINT message, LPARAM lparam) {
  if (message == WM_INITDIALOG && lparam) SetWindowLongPtrA(window, GWLP_USERDATA, lparam);
  return reinterpret_cast<void*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void UnbindDialogObject(HWND window) {
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
}
