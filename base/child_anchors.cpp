#include "base/child_anchors.h"

#include "base/window_dpi.h"

void InitAnchors(ChildAnchors* anchors, HWND parent) {
  anchors->parent = parent;
  anchors->initial_width = 0;
  anchors->initial_height = 0;
  if (parent) {
    RECT client;
    if (GetClientRect(parent, &client)) {
      anchors->initial_width = client.right - client.left;
      anchors->initial_height = client.bottom - client.top;
    }
  }
  if (anchors->scale > 0) anchors->scale = WindowDpiScale(parent);
  anchors->entries.clear();
}

void AnchorChild(ChildAnchors* anchors, HWND child, float left_factor, float top_factor,
                 float right_factor, float bottom_factor) {
  RECT r;
  if (!GetWindowRect(child, &r)) return;
  POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
  ScreenToClient(anchors->parent, &corners[0]);
  ScreenToClient(anchors->parent, &corners[1]);
  AnchoredChild entry;
  entry.child = child;
  entry.added = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  entry.computed = entry.added;
  entry.left_factor = left_factor;
  entry.top_factor = top_factor;
  entry.right_factor = right_factor;
  entry.bottom_factor = bottom_factor;
  anchors->entries.push_back(entry);
}

namespace {

void MoveChild(const AnchoredChild& entry) {
  const AnchorRect& r = entry.computed;
  SetWindowPos(entry.child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// Repaints what of the parent's client area is not covered by a visible child.
void InvalidateUncoveredParent(HWND parent) {
  RECT client;
  GetClientRect(parent, &client);
  HRGN remaining = CreateRectRgnIndirect(&client);
  if (!remaining) return;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    HRGN covered = CreateRectRgnIndirect(&r);
    if (!covered) continue;
    int kind = CombineRgn(remaining, remaining, covered, RGN_DIFF);
    DeleteObject(covered);
    if (kind == NULLREGION) break;
  }
  InvalidateRgn(parent, remaining, FALSE);
  DeleteObject(remaining);
}

}  // namespace

void ArrangeChildren(ChildAnchors* anchors) {
  if (!anchors->parent) return;
  int current_scale = anchors->scale < 1 ? 0 : WindowDpiScale(anchors->parent);
  bool rescale = current_scale > 0 && current_scale != anchors->scale;

  RECT client_rect;
  GetClientRect(anchors->parent, &client_rect);
  AnchorRect client = {client_rect.left, client_rect.top, client_rect.right, client_rect.bottom};
  if (rescale) client = ScaleAnchorRect(client, anchors->scale, current_scale);
  int width = client.right - client.left;
  int height = client.bottom - client.top;
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  int dx = width - anchors->initial_width;
  int dy = height - anchors->initial_height;

  for (AnchoredChild& entry : anchors->entries) {
    entry.computed = ArrangeAnchoredRect(entry.added, dx, dy, entry.left_factor, entry.top_factor,
                                         entry.right_factor, entry.bottom_factor);
    if (rescale) entry.computed = ScaleAnchorRect(entry.computed, current_scale, anchors->scale);
  }

  // All children move in one deferred batch; whatever the batch could not
  // take is moved one by one.
  size_t moved = 0;
  HDWP batch = BeginDeferWindowPos(static_cast<int>(anchors->entries.size()));
  if (batch) {
    for (; moved < anchors->entries.size(); ++moved) {
      const AnchoredChild& entry = anchors->entries[moved];
      const AnchorRect& r = entry.computed;
      HDWP next = DeferWindowPos(batch, entry.child, nullptr, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
      if (!next) {
        batch = nullptr;   // the platform has freed the batch
        break;
      }
      batch = next;
    }
    if (batch) EndDeferWindowPos(batch);
  }
  for (; moved < anchors->entries.size(); ++moved) MoveChild(anchors->entries[moved]);

  InvalidateUncoveredParent(anchors->parent);
}
