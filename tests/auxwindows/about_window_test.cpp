// The About window for real: its dialog, frames driven one by one, the Ctrl
// switch, the single instance and the remembered position.
#include "auxwindows/about_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/main_window.h"
#include "auxwindows/glyph_font.h"
#include "base/app_state.h"
#include "raster/dib_bitmap.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/win_test_support.h"

namespace {

RECT WindowRect(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return r;
}

class AboutWindowTest : public MainWindowFixture {
protected:
  void TearDown() override {
    CloseAboutWindow();
    MainWindowFixture::TearDown();
  }

  // Opens the window with its timer stopped: frames come when the test asks.
  AboutWindow* OpenStill() {
    OpenAboutWindow(nullptr, AboutBuildFacts{"1.11", "Dec  7 2026 13:14:35", std::string(40, '0'), "a@b.org"});
    if (g_app.about_window) KillTimer(g_app.about_window->window, TIMER_ABOUT_FRAME);
    PumpMessages(30);
    return g_app.about_window;
  }

  // One character per row of the frame: '#' where anything is not black.
  static std::string InkedRows(const Bitmap* frame) {
    std::string rows;
    for (int y = 0; y < frame->Height(); ++y) {
      bool inked = false;
      for (int x = 0; x < frame->Width(); ++x) inked |= frame->Bits()[y * frame->RowSpan() + x] != 0xFF000000u;
      rows += inked ? '#' : '.';
    }
    return rows;
  }

  static uint32_t Brightest(const Bitmap* frame) {
    uint32_t brightest = 0;
    for (int i = 0; i < frame->Height() * frame->RowSpan(); ++i)
      brightest = std::max(brightest, frame->Bits()[i] & 0xFF);
    return brightest;
  }

  static std::vector<uint32_t> Rows(const Bitmap* f, int from, int to) {
    return std::vector<uint32_t>(f->Bits() + from * f->RowSpan(), f->Bits() + to * f->RowSpan());
  }
};

}  // namespace

TEST_F(AboutWindowTest, FirstFrameDrawsRowZeroOnlyAndComputesTheLimit) {
  AboutWindow* about = OpenStill();
  ASSERT_NE(about, nullptr);
  RECT r = WindowRect(about->window);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.right - r.left, 630);
  EXPECT_EQ(r.bottom - r.top, 210);
  char text[64] = {};
  GetWindowTextA(about->window, text, sizeof text);
  EXPECT_STREQ(text, "About Vistrel");
  EXPECT_TRUE(IsWindowUnicode(about->window));     // a wide-character dialog, like License's
  EXPECT_FALSE(GetWindowLongA(about->window, GWL_STYLE) & WS_THICKFRAME);
  RECT client;
  GetClientRect(about->window, &client);
  EXPECT_EQ(InkedRows(about->frame), std::string(210, '.'));   // black until the first frame

  about->RenderFrame();
  std::string rows = InkedRows(about->frame);
  EXPECT_EQ(rows.find('#'), rows.find('#', 194));   // row 0 at 194; row 1 at 210 leaves nothing
  EXPECT_NE(rows.find('#'), std::string::npos);
  EXPECT_EQ(Brightest(about->frame), 0xC0u);
  EXPECT_EQ(about->frame_width, client.right);      // the credits control fills the window
  EXPECT_EQ(about->frame_height, client.bottom);
  // The limit: row 82 at 1832 plus its measured height, less 105.
  GlyphFont font;
  LOGFONTA arial = {16, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"};
  font.AttachFont(CreateFontIndirectA(&arial), FONT_OWNS_HANDLE);
  RECT measured = {0, 0, 0, 0};
  int height = font.DrawString(nullptr, about->rows[82].c_str(), -1, &measured,
                               GLYPH_DT_CALCRECT | GLYPH_DT_NOPREFIX | GLYPH_DT_SINGLELINE);
  EXPECT_GT(height, 10);
  EXPECT_EQ(about->animation.scroll_limit, 1727 + height);
  for (int i = 0; i < 10; ++i) about->RenderFrame();
  EXPECT_EQ(InkedRows(about->frame).find('#'), rows.find('#') - 10);   // one pixel per frame
}

TEST_F(AboutWindowTest, TextFadesOutAndTheRollStartsAgain) {
  AboutWindow* about = OpenStill();
  ASSERT_NE(about, nullptr);
  about->RenderFrame();
  int limit = about->animation.scroll_limit;
  about->animation.scroll_offset = limit + 1;       // the last rows stand still
  int frames = 0;
  uint32_t previous = 0xFF;
  do {
    about->RenderFrame();
    ++frames;
    EXPECT_LE(Brightest(about->frame), previous);
    previous = Brightest(about->frame);
  } while (about->animation.scroll_offset == limit + 1 && frames < 100);
  EXPECT_EQ(frames, 35 + 11);                       // 255 to 220 by 1, then 200 to 20 by 20
  EXPECT_LT(previous, 0x10u);                       // the last frame drawn at level 20
  EXPECT_EQ(about->animation.fade_level, 255);
  EXPECT_EQ(about->animation.scroll_offset, -32);
  EXPECT_EQ(about->animation.scroll_limit, limit);
  about->RenderFrame();                             // the first row comes from below
  EXPECT_EQ(InkedRows(about->frame), std::string(210, '.'));
}

TEST_F(AboutWindowTest, HoldingCtrlShowsTheNamesInGreek) {
  AboutWindow* about = OpenStill();
  ASSERT_NE(about, nullptr);
  auto frame_at = [about](int offset, bool ctrl) {
    if (ctrl) KeyDownInput(VK_CONTROL);
    PumpMessages(50);
    about->animation.scroll_offset = offset;
    about->RenderFrame();
    if (ctrl) KeyUpInput(VK_CONTROL);
    PumpMessages(50);
    return Rows(about->frame, 0, 210);
  };
  std::vector<uint32_t> latin = frame_at(0, false);
  EXPECT_NE(frame_at(0, true), latin);
  EXPECT_EQ(frame_at(0, false), latin);
  // At the end of the roll row 81 ("Vistrel") changes; row 82 does not.
  int limit = about->animation.scroll_limit;
  int row82 = 1832 - limit;
  std::vector<uint32_t> end = frame_at(limit, false);
  std::vector<uint32_t> greek = frame_at(limit, true);
  size_t split = static_cast<size_t>(row82) * about->frame->RowSpan();
  EXPECT_NE(std::vector<uint32_t>(greek.begin(), greek.begin() + split),
            std::vector<uint32_t>(end.begin(), end.begin() + split));
  EXPECT_EQ(std::vector<uint32_t>(greek.begin() + split, greek.end()),
            std::vector<uint32_t>(end.begin() + split, end.end()));
}

TEST_F(AboutWindowTest, SecondCommandFocusesAndShortcutsStayInTheMainWindow) {
  HWND main = OpenMainWindow();
  HandleCommand(g_app.main_window, CMD_ABOUT);
  PumpMessages(50);
  AboutWindow* about = g_app.about_window;
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(GetWindow(about->window, GW_OWNER), main);
  SetForegroundWindow(main);
  SetFocus(main);
  PumpMessages(50);
  HandleCommand(g_app.main_window, CMD_ABOUT);
  PumpMessages(50);
  EXPECT_EQ(g_app.about_window, about);
  EXPECT_EQ(GetActiveWindow(), about->window);
  int count = 0;
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "about_superhost", nullptr)) != nullptr;) ++count;
  EXPECT_EQ(count, 1);
  MSG m = {about->window, WM_KEYDOWN, 'Q', 1, 0, {0, 0}};
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
}

TEST_F(AboutWindowTest, EscapeClosesAndTheNextOpeningIsWhereItWasLeft) {
  OpenAboutWindow(nullptr, AboutBuildFacts());
  AboutWindow* about = g_app.about_window;
  ASSERT_NE(about, nullptr);
  HWND window = about->window;
  SetWindowPos(window, nullptr, 210, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SetForegroundWindow(window);
  PumpMessages(500);
  EXPECT_GT(about->animation.scroll_offset, 3);    // the timer rolls the credits
  PressKeys({VK_ESCAPE}, 30);
  PumpUntil([] { return g_app.about_window == nullptr; }, 2000);
  EXPECT_EQ(g_app.about_window, nullptr);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(IniValue(g_app.settings_path, "about_wnd_x"), "210");
  EXPECT_EQ(IniValue(g_app.settings_path, "about_wnd_y"), "130");
  about = OpenStill();
  ASSERT_NE(about, nullptr);
  RECT r = WindowRect(about->window);
  EXPECT_EQ(r.left, 210);
  EXPECT_EQ(r.top, 130);
  EXPECT_EQ(r.right - r.left, 630);
  EXPECT_EQ(about->animation.scroll_offset, 0);    // the roll starts anew
  EXPECT_TRUE(about->animation.limit_pending);
}
