#pragma once
// The Changelog window's text view: read-only. Its key filter lets only
// viewing keys reach the text view (every key while the find prompt is open);
// Ctrl+W closes the window. No platform header.
#include "auxwindows/text_view.h"

class ChangelogView : public TextView {
 public:
  // close(context) closes the owning window, which deletes this view.
  ChangelogView(CellGrid* grid, ViewPlatform* platform, void (*close)(void* context),
                void* close_context);
  int HandleKey(int key) override;

 private:
  void (*close_)(void* context);
  void* close_context_;
};

// Whether the filter passes a key code to the text view outside the find
// prompt; ctrl_down tells whether Ctrl is still held.
bool ChangelogKeyPasses(int key, bool ctrl_down);
