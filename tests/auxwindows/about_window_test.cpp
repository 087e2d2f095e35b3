// The About window for real: its dialog, the frames driven one by one, the
// Ctrl switch, the single instance and the remembered position.
#include "auxwindows/about_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/main_window.h"
#include "auxwindows/glyph_font.h"
#include "base/app_state.h"
#include "base/settings_store.h"
#include "raster/dib_bitmap.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/win_test_support.h"

namespace {

AboutBuildFacts Facts() {
  AboutBuildFacts facts;
  facts.build_timestamp = "Dec 07 2026 13:14:35";
  facts.commit_id = std::string(40, '0');
  facts.support_address = "support@example.org";
  return facts;
}

RECT WindowRect(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return r;
}

class AboutWindowTest : public MainWindowFixture {
protected:
  void TearDown() override {
    CloseAboutWindow();
    PumpMessages(20);
    MainWindowFixture::TearDown();
  }

  // Opens the window and stops its timer, so that frames come only when the
  // test asks for them.
  AboutWindow* OpenStill() {
    OpenAboutWindow(nullptr, Facts());
    AboutWindow* about = g_app.about_window;
    if (about) KillTimer(about->window, TIMER_ABOUT_FRAME);
    PumpMessages(30);
    return about;
  }

  // Rows of the frame bitmap that hold anything but black.
  static std::string InkedRows(const Bitmap* frame) {
    std::string rows;
    for (int y = 0; y < frame->Height(); ++y) {
      bool inked = false;
      for (int x = 0; x < frame->Width() && !inked; ++x)
        inked = frame->Bits()[y * frame->RowSpan() + x] != 0xFF000000u;
      rows += inked ? '#' : '.';
    }
    return rows;
  }

  static uint32_t Brightest(const Bitmap* frame) {
    uint32_t brightest = 0;
    for (int y = 0; y < frame->Height(); ++y)
      for (int x = 0; x < frame->Width(); ++x)
        brightest = std::max(brightest, frame->Bits()[y * frame->RowSpan() + x] & 0xFF);
    return brightest;
  }
};

}  // namespace

TEST_F(AboutWindowTest, OpensAtItsDefaultPlaceWithTheCreditsFillingIt) {
  AboutWindow* about = OpenStill();
  ASSERT_NE(about, nullptr);
  HWND window = about->window;
  ASSERT_TRUE(IsWindowVisible(window));
  RECT r = WindowRect(window);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.right - r.left, 630);
  EXPECT_EQ(r.bottom - r.top, 210);
  char text[64] = {};
  GetWindowTextA(window, text, sizeof text);
  EXPECT_STREQ(text, "About Vistrel");
  GetClassNameA(window, text, sizeof text);
  EXPECT_STREQ(text, "about_superhost");
  LONG style = GetWindowLongA(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_THICKFRAME);
  HWND credits = GetDlgItem(window, IDC_ABOUT_CREDITS);
  ASSERT_NE(credits, nullptr);
  RECT client, child = WindowRect(credits);
  GetClientRect(window, &client);
  MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&child), 2);
  EXPECT_EQ(child.left, 0);
  EXPECT_EQ(child.top, 0);
  EXPECT_EQ(child.right, client.right);
  EXPECT_EQ(child.bottom, client.bottom);
  EXPECT_EQ(about->frame->Width(), 630);
  EXPECT_EQ(about->frame->Height(), 210);
  EXPECT_EQ(InkedRows(about->frame), std::string(210, '.'));   // black until the first frame
}

TEST_F(AboutWindowTest, FirstFrameDrawsOnlyRowZeroAndComputesTheLimit) {
  AboutWindow* about = OpenStill();
  ASSERT_NE(about, nullptr);
  about->RenderFrame();
  std::string rows = InkedRows(about->frame);
  // Row 0 stands at y = 194; row 1 at 210 leaves no pixels.
  EXPECT_EQ(rows.substr(0, 194), std::string(194, '.'));
  EXPECT_NE(rows.find('#', 194), std::string::npos);
  EXPECT_EQ(Brightest(about->frame), 0xC0u);
  // The limit: row 82 at 1832 plus its measured height, less 105.
  GlyphFont font;
  LOGFONTA arial = {16, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"};
  font.AttachFont(CreateFontIndirectA(&arial), FONT_OWNS_HANDLE);
  RECT r = {0, 0, 0, 0};
  int height = font.DrawString(nullptr, about->rows[82].c_str(), -1, &r,
                               GLYPH_DT_CALCRECT | GLYPH_DT_NOPREFIX | GLYPH_DT_SINGLELINE);
  ASSERT_GT(height, 10);
  EXPECT_FALSE(about->animation.limit_pending);
  EXPECT_EQ(about->animation.scroll_limit, 1727 + height);
  EXPECT_EQ(about->animation.scroll_offset, 1);
  // The frame rectangle is the credits control's.
  RECT client;
  GetClientRect(about->window, &client);
  EXPECT_EQ(about->frame_width, client.right);
  EXPECT_EQ(about->frame_height, client.bottom);
  // Ten frames later the text has moved up by ten pixels.
  for (int i = 0; i < 10; ++i) about->RenderFrame();
  EXPECT_EQ(InkedRows(about->frame).find('#'), rows.find('#') - 10);
}

TEST_F(AboutWindowTest, TextFadesOutAndTheRollStartsAgain) {
  AboutWindow* about = OpenStill();
  ASSERT_NE(about, nullptr);
  about->RenderFrame();
  int limit = about->animation.scroll_limit;
  // Jump to the end of the roll: the last rows stand in the frame.
  about->animation.scroll_offset = limit + 1;
  about->RenderFrame();
  EXPECT_EQ(about->animation.fade_level, 254);
  EXPECT_EQ(Brightest(about->frame), 0xC0u);   // drawn at level 255
  int frames = 1;
  uint32_t previous = 0xC0;
  while (about->animation.scroll_offset == limit + 1 && frames < 100) {
    about->RenderFrame();
    ++frames;
    uint32_t brightest = Brightest(about->frame);
    EXPECT_LE(brightest, previous);
    previous = brightest;
  }
  EXPECT_EQ(frames, 35 + 11);
  EXPECT_LT(previous, 0x10u);                  // the last frame drawn at level 20
  EXPECT_EQ(about->animation.fade_level, 255);
  EXPECT_EQ(about->animation.scroll_offset, -32);
  EXPECT_EQ(about->animation.scroll_limit, limit);
  // After the restart the first row comes from below the bitmap.
  about->RenderFrame();
  EXPECT_EQ(InkedRows(about->frame), std::string(210, '.'));
}

TEST_F(AboutWindowTest, HoldingCtrlShowsTheNamesInGreek) {
  AboutWindow* about = OpenStill();
  ASSERT_NE(about, nullptr);
  auto frame_at_start = [about]() {
    about->animation.scroll_offset = 0;
    about->RenderFrame();
    const Bitmap* f = about->frame;
    return std::vector<uint32_t>(f->Bits(), f->Bits() + f->RowSpan() * f->Height());
  };
  std::vector<uint32_t> latin = frame_at_start();
  KeyDownInput(VK_CONTROL);
  PumpMessages(50);
  std::vector<uint32_t> greek = frame_at_start();
  KeyUpInput(VK_CONTROL);
  PumpMessages(50);
  std::vector<uint32_t> again = frame_at_start();
  EXPECT_NE(latin, greek);
  EXPECT_EQ(latin, again);
  // At the end of the roll rows 81 ("Vistrel") and 82 (the copyright) stand
  // in the frame: only row 81 is switched.
  int limit = about->animation.scroll_limit;
  int row82 = 1832 - limit;
  int row81 = row82 - 32;
  auto rows_of = [about](int from, int to) {
    const Bitmap* f = about->frame;
    return std::vector<uint32_t>(f->Bits() + from * f->RowSpan(), f->Bits() + to * f->RowSpan());
  };
  about->animation.scroll_offset = limit;
  about->RenderFrame();
  std::vector<uint32_t> name = rows_of(row81, row82);
  std::vector<uint32_t> copyright = rows_of(row82, 210);
  KeyDownInput(VK_CONTROL);
  PumpMessages(50);
  about->animation.scroll_offset = limit;
  about->RenderFrame();
  KeyUpInput(VK_CONTROL);
  PumpMessages(50);
  EXPECT_NE(rows_of(row81, row82), name);
  EXPECT_EQ(rows_of(row82, 210), copyright);
}

TEST_F(AboutWindowTest, SecondOpeningOnlyFocusesTheWindow) {
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
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "about_superhost", nullptr)) != nullptr;) {
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    count += process == GetCurrentProcessId();
  }
  EXPECT_EQ(count, 1);
  // Main-window shortcuts do nothing while the About window has the focus.
  MSG m = {};
  m.hwnd = about->window;
  m.message = WM_KEYDOWN;
  m.wParam = 'Q';
  m.lParam = 1;
  EXPECT_EQ(TranslateShortcutKey(&m), 0);
}

TEST_F(AboutWindowTest, RemembersItsPositionAndRestartsTheRoll) {
  AboutWindow* about = OpenStill();
  ASSERT_NE(about, nullptr);
  about->RenderFrame();
  about->RenderFrame();
  SetWindowPos(about->window, nullptr, 210, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SendMessageA(about->window, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(g_app.about_window, nullptr);
  EXPECT_EQ(IniValue(g_app.settings_path, "about_wnd_x"), "210");
  EXPECT_EQ(IniValue(g_app.settings_path, "about_wnd_y"), "130");
  about = OpenStill();
  ASSERT_NE(about, nullptr);
  RECT r = WindowRect(about->window);
  EXPECT_EQ(r.left, 210);
  EXPECT_EQ(r.top, 130);
  EXPECT_EQ(r.right - r.left, 630);
  EXPECT_EQ(r.bottom - r.top, 210);
  EXPECT_EQ(about->animation.scroll_offset, 0);
  EXPECT_TRUE(about->animation.limit_pending);
}

TEST_F(AboutWindowTest, EscapeClosesAndTheTimerRolls) {
  OpenAboutWindow(nullptr, Facts());
  AboutWindow* about = g_app.about_window;
  ASSERT_NE(about, nullptr);
  HWND window = about->window;
  SetForegroundWindow(window);
  PumpMessages(500);
  // About 12 ticks of 41 ms; timers are not exact, so only "several".
  EXPECT_GT(about->animation.scroll_offset, 3);
  PressKeys({VK_ESCAPE}, 30);
  PumpUntil([] { return g_app.about_window == nullptr; }, 2000);
  EXPECT_EQ(g_app.about_window, nullptr);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(IniValue(g_app.settings_path, "about_wnd_x"), "0");
  EXPECT_EQ(IniValue(g_app.settings_path, "about_wnd_y"), "50");
}
