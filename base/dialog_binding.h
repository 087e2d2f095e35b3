#pragma once
// Binding a dialog window's state object to the window: the object comes as
// the dialog's creation parameter and lives in the window's user data.
#include <windows.h>

// The object bound to the dialog; on WM_INITDIALOG it is bound from lparam
// first. Null for messages that come before WM_INITDIALOG.
void* BindDialogObject(HWND window, UINT message, LPARAM lparam);

// Forgets the bound object; on WM_NCDESTROY, before the object is freed.
void UnbindDialogObject(HWND window);
