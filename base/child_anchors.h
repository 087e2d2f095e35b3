#pragma once
// Keeps child windows attached to the edges of their parent's client area.
// Embedded in every dialog window object that resizes children.
#include <windows.h>

#include <vector>

#include "base/anchor_arithmetic.h"

struct AnchoredChild {
  HWND child;
  AnchorRect added;      // in the parent's client coordinates, when added
  AnchorRect computed;   // last computed
  float left_factor, top_factor, right_factor, bottom_factor;
};

struct ChildAnchors {
  int scale = 256;       // DPI scale at initialisation; 0 = no rescaling
  HWND parent = nullptr;
  int initial_width = 0;
  int initial_height = 0;
  std::vector<AnchoredChild> entries;
};

void InitAnchors(ChildAnchors* anchors, HWND parent);
// Factors: 0 keeps the edge put, 1 makes it follow the client size fully,
// values between follow a share of it.
void AnchorChild(ChildAnchors* anchors, HWND child, float left_factor, float top_factor,
                 float right_factor, float bottom_factor);
// Moves every anchored child for the parent's current client size; called on WM_SIZE.
void ArrangeChildren(ChildAnchors* anchors);
