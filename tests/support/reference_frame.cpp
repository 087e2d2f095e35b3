#include "tests/support/reference_frame.h"

#include <cmath>
#include <cstdio>

namespace {

const uint32_t BLACK = 0xFF000000u;

int R(uint32_t p) { return (p >> 16) & 255; }
int G(uint32_t p) { return (p >> 8) & 255; }
int B(uint32_t p) { return p & 255; }
uint32_t Pack(uint32_t a, int r, int g, int b) {
  return (a & 0xFF000000u) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

// Nearest scaling of the whole picture into (x, y, w, h), all inside the frame.
void Stretch(RefImage* frame, const RefImage& picture, const RefRect& r) {
  if (std::fabs(float(picture.width) - float(r.width)) < 0.001f &&
      std::fabs(float(picture.height) - float(r.height)) < 0.001f) {
    for (int y = 0; y < r.height; ++y)
      for (int x = 0; x < r.width; ++x) frame->at(r.x + x, r.y + y) = picture.at(x, y);
    return;
  }
  float xs = float(picture.width) / float(r.width);
  float ys = float(picture.height) / float(r.height);
  int64_t dx = int64_t(std::floor(double(xs) * 65536.0));
  int64_t dy = int64_t(std::floor(double(ys) * 65536.0));
  for (int i = 0; i < r.height; ++i) {
    int64_t row = (i * dy) >> 16;
    if (row >= picture.height) continue;
    for (int j = 0; j < r.width; ++j) {
      int64_t column = (j * dx) >> 16;
      if (column >= picture.width) continue;
      frame->at(r.x + j, r.y + i) = picture.at(int(column), int(row));
    }
  }
}

void ForRect(RefImage* frame, const RefRect& r, uint32_t (*f)(uint32_t)) {
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x) frame->at(x, y) = f(frame->at(x, y));
}

uint32_t Gray(uint32_t p) {
  int g = (R(p) + G(p) + B(p)) / 3;
  return Pack(p, g, g, g);
}
uint32_t Negative(uint32_t p) { return Pack(p, 255 - R(p), 255 - G(p), 255 - B(p)); }
int LogByte(int c) {
  double k = 255.0 / std::log(256.0);
  return int(std::trunc(std::log(c + 1.0) * k)) & 255;
}
uint32_t Log(uint32_t p) { return Pack(p, LogByte(R(p)), LogByte(G(p)), LogByte(B(p))); }

uint32_t Illinify(uint32_t p) {
  static int t[256];
  if (!t[1]) {
    for (int x = 1; x < 256; ++x) t[x] = 65536 / x - 1;
  }
  int r = R(p), g = G(p), b = B(p), v, delta, h;
  if (g > r && g > b) {
    v = g; delta = g - (b < r ? b : r); h = 128 + (b - r) * (t[delta] + 1) / 1024;
  } else if (g > r) {
    v = b; delta = b - r; h = 256 + (r - g) * (t[delta] + 1) / 1024;
  } else if (r > b && g < b) {
    v = r; delta = r - g; h = 383 + (g - b) * (t[delta] + 1) / 1024;
  } else if (r > b) {
    v = r; delta = r - b; h = (g - b) * (t[delta] + 1) / 1024;
  } else {
    v = b; delta = b - (r < g ? r : g); h = 256 + (r - g) * (t[delta] + 1) / 1024;
  }
  int s = delta * t[v] / 256;
  if (h >= 114 && h <= 293) return Pack(p, (256 - s) * v / 256, (16384 - 24 * s) * v / 16384, v);
  return Pack(p, v, (16384 - 53 * s) * v / 16384, (256 - s) * v / 256);
}

// Cross blur, each term shifted and masked from the whole pixel.
void Blur(RefImage* frame) {
  int w = frame->width, h = frame->height;
  if (w < 2 || h < 2) return;
  RefImage src = *frame;
  auto term = [](uint32_t p, int shift) {
    static const uint32_t masks[4] = {0, 0x7F7F7F7Fu, 0x3F3F3F3Fu, 0x1F1F1F1Fu};
    return (p >> shift) & masks[shift];
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t sum = term(src.at(x, y), 1);
      // Horizontal neighbours: an eighth each, or a quarter for the only one.
      if (x == 0) sum += term(src.at(x + 1, y), 2);
      else if (x == w - 1) sum += term(src.at(x - 1, y), 2);
      else sum += term(src.at(x - 1, y), 3) + term(src.at(x + 1, y), 3);
      if (y == 0) sum += term(src.at(x, y + 1), 2);
      else if (y == h - 1) sum += term(src.at(x, y - 1), 2);
      else sum += term(src.at(x, y - 1), 3) + term(src.at(x, y + 1), 3);
      frame->at(x, y) = sum;
    }
  }
}

// Mirrored copies: row y takes source row H - y, row 0 stays black.
void FlipVertically(RefImage* frame) {
  RefImage src = *frame;
  for (int x = 0; x < frame->width; ++x) frame->at(x, 0) = BLACK;
  for (int y = 1; y < frame->height; ++y)
    for (int x = 0; x < frame->width; ++x) frame->at(x, y) = src.at(x, frame->height - y);
}
void FlipHorizontally(RefImage* frame) {
  RefImage src = *frame;
  for (int y = 0; y < frame->height; ++y) {
    frame->at(0, y) = BLACK;
    for (int x = 1; x < frame->width; ++x) frame->at(x, y) = src.at(frame->width - x, y);
  }
}

// The turned copy about the frame's centre with nearest sampling, in the
// single-precision steps and 16.16 fixed point of the scaled copies.
void Rotate(RefImage* frame, int degrees) {
  float angle = degrees == 90 ? 1.5707964f : degrees == 180 ? 3.1415927f : 4.712389f;
  RefImage src = *frame;
  for (uint32_t& p : frame->pixels) p = BLACK;
  float w = float(src.width), h = float(src.height);
  float c = std::cos(angle), s = std::sin(angle);
  float dsdx = (w / w) * c, dtdx = -(h / h) * s, dsdy = (w / w) * s, dtdy = (h / h) * c;
  float sx0 = 0.0f - ((w * dsdx + h * dsdy - w) * 0.5f - 0.0f);
  float sy0 = 0.0f - ((h * dtdy + w * dtdx - h) * 0.5f - 0.0f);
  int S = int(sx0 * 65536.0f), T = int(sy0 * 65536.0f);
  int sdx = int(dsdx * 65536.0f), tdx = int(dtdx * 65536.0f);
  int sdy = int(dsdy * 65536.0f), tdy = int(dtdy * 65536.0f);
  for (int y = 0; y < frame->height; ++y) {
    int sr = S + y * sdy, tr = T + y * tdy;
    for (int x = 0; x < frame->width; ++x) {
      int column = (sr + x * sdx) >> 16, row = (tr + x * tdx) >> 16;
      if (unsigned(column) < unsigned(src.width) && unsigned(row) < unsigned(src.height))
        frame->at(x, y) = src.at(column, row);
    }
  }
}

}  // namespace

bool RefFit(int W, int H, int iw, int ih, RefRect* r) {
  if (W <= 0 || H <= 0 || iw <= 0 || ih <= 0) return false;
  double rw = double(W) / H, ri = double(iw) / ih;
  double larger = std::fabs(ri) > std::fabs(rw) ? std::fabs(ri) : std::fabs(rw);
  if (rw - ri > larger * 2.220446049250313e-16) {
    r->height = H;
    r->width = int(int64_t(iw) * H / ih);
  } else {
    r->width = W;
    r->height = int(int64_t(ih) * W / iw);
  }
  r->x = (W - r->width) / 2;
  r->y = (H - r->height) / 2;
  return true;
}

RefImage RefComposeFrame(const RefImage* picture, int width, int height, const RefEffects& e) {
  RefImage frame(width, height, BLACK);
  RefRect r;
  if (!picture || !RefFit(width, height, picture->width, picture->height, &r)) return frame;
  Stretch(&frame, *picture, r);
  if (e.black_and_white) ForRect(&frame, r, Gray);
  if (e.blur) Blur(&frame);
  if (e.flip_vertically) FlipVertically(&frame);
  if (e.flip_horizontally) FlipHorizontally(&frame);
  if (e.negative) ForRect(&frame, r, Negative);
  if (e.log_transformation) ForRect(&frame, r, Log);
  if (e.illinify) ForRect(&frame, r, Illinify);
  if (e.rotation == 90 || e.rotation == 180 || e.rotation == 270) Rotate(&frame, e.rotation);
  return frame;
}

long RefCountDifferences(const RefImage& expected, const RefImage& actual, std::string* first) {
  if (expected.width != actual.width || expected.height != actual.height) {
    if (first) {
      char text[96];
      snprintf(text, sizeof text, "size %dx%d, expected %dx%d", actual.width, actual.height,
               expected.width, expected.height);
      *first = text;
    }
    return -1;
  }
  long count = 0;
  for (int y = 0; y < expected.height; ++y) {
    for (int x = 0; x < expected.width; ++x) {
      uint32_t e = expected.at(x, y) & 0xFFFFFF, a = actual.at(x, y) & 0xFFFFFF;
      if (e == a) continue;
      if (count == 0 && first) {
        char text[96];
        snprintf(text, sizeof text, "(%d, %d): %06X, expected %06X", x, y, unsigned(a), unsigned(e));
        *first = text;
      }
      ++count;
    }
  }
  return count;
}
