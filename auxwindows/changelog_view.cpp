#include "auxwindows/changelog_view.h"

#include "auxwindows/key_codes.h"

ChangelogView::ChangelogView(CellGrid* grid_, ViewPlatform* platform_,
                             void (*close)(void* context), void* close_context)
    : TextView(grid_, platform_), close_(close), close_context_(close_context) {
  tab_width = 2;
}

bool ChangelogKeyPasses(int key, bool ctrl_down) {
  switch (key) {
    case KEY_ESCAPE:
    case KEY_CTRL_L:
      return true;
    case KEY_CTRL_C:
    case KEY_CTRL_F:
    case KEY_CTRL_G:
    case KEY_CTRL_O:
    case KEY_CTRL_P:
      return ctrl_down;
  }
  if (key >= KEY_DOWN && key <= KEY_END) return true;
  if (key >= KEY_F1 && key <= KEY_F12) return true;
  return false;
}

int ChangelogView::HandleKey(int key) {
  if (mode == MODE_FIND) return TextView::HandleKey(key);
  bool ctrl = platform->CtrlDown();
  if (key == KEY_CTRL_W && ctrl) {
    void (*close)(void*) = close_;
    void* context = close_context_;
    if (close) close(context);   // this view is gone afterwards
    return 1;
  }
  if (!ChangelogKeyPasses(key, ctrl)) return 0;
  return TextView::HandleKey(key);
}
