// Starts the real vistrel.exe and uses it as a person would: Ctrl+A, typing
// names into the Open files dialog, the arrow keys and the effect shortcuts.
// After every step the window's client area is captured from the screen and
// compared pixel for pixel with the frame computed here from the decoded
// picture, the fit rule and the effect formulas; the menus are opened with
// the keyboard and captured too, to see the greyed items and check marks.
// The captured frames are kept as PNG files in the build folder.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "imagefiles/gif_file.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/png_file.h"
#include "raster/bitmap.h"
#include "resources/resource_ids.h"
#include "tests/support/picture_test_support.h"
#include "tests/support/reference_frame.h"
#include "tests/support/vistrel_process.h"
#include "tests/support/win_test_support.h"

namespace {

// The dialog of the process with the given title, once it is visible.
HWND WaitForProcessDialog(DWORD process_id, const wchar_t* title) {
  for (int i = 0; i < 400; ++i) {
    HWND dialog = nullptr;
    while ((dialog = FindWindowExW(nullptr, dialog, L"#32770", title)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(dialog, &owner);
      if (owner == process_id && IsWindowVisible(dialog)) return dialog;
    }
    Sleep(25);
  }
  return nullptr;
}

// Types text as characters through the input queue.
void TypeText(const std::string& text) {
  std::wstring wide = Wide(text);
  for (wchar_t c : wide) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wScan = input[1].ki.wScan = c;
    input[0].ki.dwFlags = KEYEVENTF_UNICODE;
    input[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    Sleep(5);
  }
}

// The rows of a menu popup that hold anything but the background, grouped
// into bands, each with whether it has black (enabled) text in it. The File
// menu gives six: Open files (highlighted), a separator, Next, Previous, a
// separator, Exit; a greyed item is drawn without black. With columns, only
// black in the first columns counts: the check marks' margin.
std::vector<bool> MenuBands(const RefImage& popup, int columns = 0) {
  std::vector<bool> bands;
  if (popup.width < 8 || popup.height < 8) return bands;
  // The background is the most common colour.
  std::map<uint32_t, int> counts;
  for (uint32_t p : popup.pixels) ++counts[p & 0xFFFFFF];
  uint32_t background = 0;
  int most = 0;
  for (const auto& count : counts) {
    if (count.second > most) {
      most = count.second;
      background = count.first;
    }
  }
  // Rows closer than three background rows (a mnemonic's underline) belong
  // to the same band.
  int gap = 3;
  for (int y = 2; y < popup.height - 2; ++y) {
    bool any = false, black = false;
    for (int x = 3; x < popup.width - 3; ++x) {
      uint32_t p = popup.at(x, y) & 0xFFFFFF;
      if (p != background) any = true;
      bool dark = ((p >> 16) & 255) < 48 && ((p >> 8) & 255) < 48 && (p & 255) < 48;
      if (dark && (columns == 0 || x < columns)) black = true;
    }
    if (!any) {
      ++gap;
      continue;
    }
    if (gap >= 3) bands.push_back(false);
    if (black) bands.back() = true;
    gap = 0;
  }
  return bands;
}

RefImage Decoded(const std::string& path) {
  bool jpeg = path.size() > 4 && path.compare(path.size() - 4, 4, ".jpg") == 0;
  Bitmap* bitmap = jpeg ? LoadJpegFile(path.c_str()) : LoadPngFile(path.c_str());
  RefImage image = ImageOf(bitmap);
  delete bitmap;
  return image;
}

class ViewerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTempFolder("viewer");
    ASSERT_FALSE(folder_.empty());
    ASSERT_TRUE(CreateFolder(folder_ + "app"));
    ASSERT_TRUE(CreateFolder(folder_ + "app\\portable"));
    ASSERT_TRUE(CreateFolder(folder_ + "pictures"));
    pictures_ = folder_ + "pictures\\";
    for (const char* name : {"landscape.png", "portrait.png", "gradient.jpg", "animation.gif"}) {
      ASSERT_TRUE(CopyFileW(Wide(TestPictureFolder() + name).c_str(), Wide(pictures_ + name).c_str(),
                            FALSE));
    }
    ini_ = folder_ + "app\\portable\\vistrel.ini";
    ASSERT_TRUE(WriteFileBytes(ini_, "[vistrel]\r\nmain_wnd_x=0\r\nmain_wnd_y=0\r\nmain_wnd_w=640\r\n"
                                     "main_wnd_h=480\r\nmain_wnd_maximized=0\r\n"));
    frames_ = WindowsPath(VISTREL_FRAME_FOLDER) + "\\";
    CreateDirectoryW(Wide(frames_).c_str(), nullptr);
    ASSERT_TRUE(StartVistrel(folder_ + "app\\", "", pictures_, &v_));
    SetForegroundWindow(v_.window);
    Sleep(200);
  }

  void TearDown() override {
    if (v_.process.hProcess) {
      PostMessageW(v_.window, WM_SYSCOMMAND, SC_CLOSE, 0);
      WaitForVistrelExit(&v_);
    }
    DeleteTree(folder_);
  }

  // Ctrl+A, type the names, Enter. With answer_ms, also the milliseconds
  // from Enter until the main window answers again (up to 30 s).
  void OpenWithDialog(const std::string& typed, double* answer_ms = nullptr) {
    PressKeys({VK_CONTROL, 'A'}, 300);
    HWND dialog = WaitForProcessDialog(v_.process.dwProcessId, L"Open files");
    ASSERT_NE(dialog, nullptr);
    SetForegroundWindow(dialog);
    Sleep(300);
    TypeText(typed);
    Sleep(100);
    auto start = std::chrono::steady_clock::now();
    PressKeys({VK_RETURN}, 50);
    for (int i = 0; i < 2000 && IsWindow(dialog) && IsWindowVisible(dialog); ++i) Sleep(5);
    ASSERT_FALSE(IsWindow(dialog) && IsWindowVisible(dialog));
    if (answer_ms) {
      DWORD_PTR answer = 0;
      SendMessageTimeoutW(v_.window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer);
      *answer_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    SetForegroundWindow(v_.window);
  }

  // Waits until the screen shows the expected frame (or gives up after a
  // few seconds), saves the capture and compares it.
  void ExpectShown(const RefImage* picture, const RefEffects& effects, const std::string& step) {
    RECT client;
    GetClientRect(v_.picture, &client);
    RefImage expected = RefComposeFrame(picture, client.right, client.bottom, effects);
    RefImage captured;
    long differences = -1;
    std::string first;
    for (int i = 0; i < 60; ++i) {
      captured = CaptureClient(v_.picture);
      differences = RefCountDifferences(expected, captured, &first);
      if (differences == 0) break;
      Sleep(50);
    }
    char name[32];
    snprintf(name, sizeof name, "%02d-", ++step_);
    SavePng(captured, frames_ + name + step + ".png");
    EXPECT_EQ(differences, 0) << step << ": " << first;
  }

  UINT MenuState(int command) {
    return GetMenuState(GetMenu(v_.window), command, MF_BYCOMMAND);
  }
  // Whether the flag of the item becomes set (or clear) within a few menu
  // timer periods. Wine cannot read the menu of another process (the state
  // comes back as -1): the check is then skipped, with a note, and left to
  // the window tests that run in the program's own process.
  bool MenuFlagBecomes(int command, UINT flag, bool set) {
    if (MenuState(command) == static_cast<UINT>(-1)) {
      if (!menu_note_) printf("note: the menu of another process cannot be read here\n");
      menu_note_ = true;
      return true;
    }
    for (int i = 0; i < 60; ++i) {
      if (((MenuState(command) & flag) != 0) == set) return true;
      Sleep(50);
    }
    return false;
  }
  bool menu_note_ = false;

  // Opens a menu of the menu bar with the keyboard (Alt and its letter),
  // captures it and closes it again.
  std::vector<bool> MenuPopupBands(WORD letter, int columns, const std::string& step) {
    SetForegroundWindow(v_.window);
    Sleep(100);
    PressKeys({VK_MENU, letter}, 200);
    HWND popup = nullptr;
    for (int i = 0; i < 100 && !popup; ++i) {
      popup = FindWindowExW(nullptr, nullptr, L"#32768", nullptr);
      if (popup && !IsWindowVisible(popup)) popup = nullptr;
      if (!popup) Sleep(20);
    }
    std::vector<bool> bands;
    if (popup) {
      Sleep(200);
      RECT r;
      GetWindowRect(popup, &r);
      RefImage image = CaptureScreen(r);
      SavePng(image, frames_ + "menu-" + step + ".png");
      bands = MenuBands(image, columns);
    }
    PressKeys({VK_ESCAPE}, 50);
    PressKeys({VK_ESCAPE}, 50);
    Sleep(200);
    return bands;
  }
  // The menu's bands once they are as expected; the menu follows the
  // program's state on its next menu timer tick, so it is looked at again
  // for a few seconds before the last look is returned.
  std::vector<bool> MenuBandsBecome(WORD letter, int columns, bool skip_first,
                                    const std::vector<bool>& expected, const std::string& step) {
    std::vector<bool> bands;
    for (int i = 0; i < 12; ++i) {
      bands = MenuPopupBands(letter, columns, step);
      if (skip_first && !bands.empty()) bands.erase(bands.begin());
      if (bands == expected) break;
      Sleep(100);
    }
    return bands;
  }
  std::vector<bool> FileMenuBands(const std::vector<bool>& expected, const std::string& step) {
    return MenuBandsBecome('F', 0, false, expected, step);
  }
  // Bands of the Edit menu with a check mark: the seven effects, the
  // separator, the four rotations. The first item is highlighted (its mark
  // would not be black) and is left out.
  std::vector<bool> EditMenuChecks(const std::vector<bool>& expected, const std::string& step) {
    return MenuBandsBecome('E', 3 + GetSystemMetrics(SM_CXMENUCHECK), true, expected, step);
  }

  std::string folder_, pictures_, ini_, frames_;
  VistrelProcess v_;
  int step_ = 0;
};

}  // namespace

TEST_F(ViewerEndToEnd, BrowsesThreePicturesWithEffects) {
  RefImage landscape = Decoded(pictures_ + "landscape.png");
  RefImage portrait = Decoded(pictures_ + "portrait.png");
  RefImage gradient = Decoded(pictures_ + "gradient.jpg");
  ASSERT_EQ(landscape.width, 400);
  ASSERT_EQ(gradient.width, 320);
  RefEffects none;
  ExpectShown(nullptr, none, "empty");

  OpenWithDialog("\"landscape.png\" \"portrait.png\" \"gradient.jpg\"");
  ExpectShown(&landscape, none, "first");
  // Within half a second the menu greys Previous.
  EXPECT_TRUE(MenuFlagBecomes(CMD_PREVIOUS, MF_GRAYED, true));
  EXPECT_TRUE(MenuFlagBecomes(CMD_NEXT, MF_GRAYED, false));
  const std::vector<bool> menu_first = {false, false, true, false, false, true};
  EXPECT_EQ(FileMenuBands(menu_first, "first"), menu_first);

  PressKeys({VK_RIGHT}, 100);
  ExpectShown(&portrait, none, "right");
  PressKeys({VK_LEFT}, 100);
  ExpectShown(&landscape, none, "left");

  RefEffects effects;
  PressKeys({VK_CONTROL, 'N'}, 300);
  effects.negative = true;
  ExpectShown(&landscape, effects, "negative");
  PressKeys({VK_CONTROL, '9'}, 300);
  effects.rotation = 90;
  ExpectShown(&landscape, effects, "rotate-90");
  PressKeys({VK_CONTROL, 'W'}, 300);
  effects.black_and_white = true;
  ExpectShown(&landscape, effects, "black-and-white");
  PressKeys({VK_CONTROL, '0'}, 300);
  effects.rotation = 0;
  PressKeys({VK_CONTROL, 'H'}, 300);
  effects.flip_horizontally = true;
  ExpectShown(&landscape, effects, "flip-horizontally");
  EXPECT_TRUE(MenuFlagBecomes(CMD_NEGATIVE, MF_CHECKED, true));
  EXPECT_TRUE(MenuFlagBecomes(CMD_ROTATE_0, MF_CHECKED, true));
  EXPECT_TRUE(MenuFlagBecomes(CMD_ROTATE_90, MF_CHECKED, false));
  // Blur, flip vertically, flip horizontally, negative, log, Illinify, the
  // separator, 0, 90, 180 and 270 degrees.
  const std::vector<bool> checks = {false, false, true, true, false, false,
                                    false, true, false, false, false};
  EXPECT_EQ(EditMenuChecks(checks, "edit"), checks);

  // The effects stay on while moving through the list.
  PressKeys({VK_RIGHT}, 100);
  PressKeys({VK_RIGHT}, 100);
  ExpectShown(&gradient, effects, "third");
  PressKeys({VK_RIGHT}, 100);   // no wrap-around
  ExpectShown(&gradient, effects, "third-again");
  EXPECT_TRUE(MenuFlagBecomes(CMD_NEXT, MF_GRAYED, true));
  EXPECT_TRUE(MenuFlagBecomes(CMD_PREVIOUS, MF_GRAYED, false));
  const std::vector<bool> menu_third = {false, false, false, true, false, true};
  EXPECT_EQ(FileMenuBands(menu_third, "third"), menu_third);

  PressKeys({VK_CONTROL, 'N'}, 300);
  PressKeys({VK_CONTROL, 'W'}, 300);
  PressKeys({VK_CONTROL, 'H'}, 300);
  PressKeys({VK_CONTROL, 'L'}, 300);
  PressKeys({VK_CONTROL, 'B'}, 300);
  PressKeys({VK_CONTROL, '8'}, 300);
  RefEffects others;
  others.log_transformation = true;
  others.blur = true;
  others.rotation = 180;
  ExpectShown(&gradient, others, "log-blur-180");
  PressKeys({VK_CONTROL, 'I'}, 300);
  PressKeys({VK_CONTROL, 'V'}, 300);
  PressKeys({VK_CONTROL, '7'}, 300);
  others.illinify = true;
  others.flip_vertically = true;
  others.rotation = 270;
  ExpectShown(&gradient, others, "illinify-flip-270");
  PressKeys({VK_CONTROL, 'I'}, 300);
  PressKeys({VK_CONTROL, 'V'}, 300);
  PressKeys({VK_CONTROL, '8'}, 300);
  others.illinify = false;
  others.flip_vertically = false;
  others.rotation = 180;
  ExpectShown(&gradient, others, "illinify-off-again");

  // A new set while on the third file starts at its first file.
  OpenWithDialog("portrait.png");
  ExpectShown(&portrait, others, "new-set");
  EXPECT_TRUE(MenuFlagBecomes(CMD_NEXT, MF_GRAYED, true));
  EXPECT_TRUE(MenuFlagBecomes(CMD_PREVIOUS, MF_GRAYED, true));
  const std::vector<bool> menu_one_file = {false, false, false, false, false, true};
  EXPECT_EQ(FileMenuBands(menu_one_file, "one-file"), menu_one_file);

  // Resizing refits the picture.
  SetWindowPos(v_.window, nullptr, 0, 0, 500, 600, SWP_NOMOVE | SWP_NOZORDER);
  ExpectShown(&portrait, others, "resized");

  // Ctrl+Q ends it and keeps the placement.
  SetForegroundWindow(v_.window);
  Sleep(200);
  PressKeys({VK_CONTROL, 'Q'}, 500);
  EXPECT_EQ(WaitForVistrelExit(&v_), 0);
  v_.process.hProcess = nullptr;
  EXPECT_EQ(IniValue(ini_, "main_wnd_w"), "500");
  EXPECT_EQ(IniValue(ini_, "main_wnd_h"), "600");
  EXPECT_EQ(IniValue(ini_, "main_wnd_x"), "0");
}

TEST_F(ViewerEndToEnd, AnimatedGifChangesOverTime) {
  OpenWithDialog("animation.gif");
  const uint32_t colours[3] = {0xFF0000u, 0x00FF00u, 0x0000FFu};
  bool seen[3] = {false, false, false};
  RECT client;
  GetClientRect(v_.picture, &client);
  for (int i = 0; i < 100 && !(seen[0] && seen[1] && seen[2]); ++i) {
    RefImage captured = CaptureClient(v_.picture);
    uint32_t centre = captured.at(client.right / 2, client.bottom / 2) & 0xFFFFFF;
    for (int k = 0; k < 3; ++k) {
      if (centre == colours[k] && !seen[k]) {
        seen[k] = true;
        SavePng(captured, frames_ + "animation-" + std::to_string(k) + ".png");
      }
    }
    Sleep(30);
  }
  EXPECT_TRUE(seen[0]);
  EXPECT_TRUE(seen[1]);
  EXPECT_TRUE(seen[2]);
  // Cancelling the dialog changes nothing: the animation goes on.
  PressKeys({VK_CONTROL, 'A'}, 300);
  HWND dialog = WaitForProcessDialog(v_.process.dwProcessId, L"Open files");
  ASSERT_NE(dialog, nullptr);
  SetForegroundWindow(dialog);
  Sleep(200);
  PressKeys({VK_ESCAPE}, 50);
  for (int i = 0; i < 200 && IsWindow(dialog) && IsWindowVisible(dialog); ++i) Sleep(25);
  bool changed = false;
  uint32_t first = CaptureClient(v_.picture).at(client.right / 2, client.bottom / 2);
  for (int i = 0; i < 100 && !changed; ++i) {
    Sleep(30);
    changed = CaptureClient(v_.picture).at(client.right / 2, client.bottom / 2) != first;
  }
  EXPECT_TRUE(changed);
}

// Ctrl+F2 opens the Changelog; Ctrl+F, a typed word and Enter select its
// match, which the screen shows in the highlight colour at the word's cells.
TEST_F(ViewerEndToEnd, ChangelogFindsAWordAndHighlightsIt) {
  // The word stands on text line 3 (screen row 4) from column 12.
  ASSERT_TRUE(WriteFileBytes(folder_ + "app\\changelog.txt",
                             "Vistrel changelog\r\n\r\n1.11\r\n  Shows the needle found by Ctrl+F.\r\n"));
  SetForegroundWindow(v_.window);
  Sleep(100);
  PressKeys({VK_CONTROL, VK_F2}, 200);
  HWND changelog = nullptr;
  for (int i = 0; i < 200 && !changelog; ++i) {
    HWND w = FindWindowExW(nullptr, nullptr, nullptr, L"Vistrel changelog");
    DWORD owner = 0;
    if (w) GetWindowThreadProcessId(w, &owner);
    if (w && owner == v_.process.dwProcessId && IsWindowVisible(w)) changelog = w;
    if (!changelog) Sleep(25);
  }
  ASSERT_NE(changelog, nullptr);
  SetForegroundWindow(changelog);
  Sleep(300);
  PressKeys({VK_CONTROL, 'F'}, 300);   // held until the window's timer takes it
  TypeText("needle");
  Sleep(200);
  PressKeys({VK_RETURN}, 100);

  HWND control = FindWindowExW(changelog, nullptr, L"CellScreenWindow", nullptr);
  ASSERT_NE(control, nullptr);
  // The highlight (0xC0C000 as a colour reference: green and blue 0xC0) on
  // the match's row; the red title row gives the cell height.
  const uint32_t highlight = 0x00C0C0, title_red = 0xC00000;
  RefImage image;
  int cell_height = 0, left = -1, right = -1;
  for (int attempt = 0; attempt < 60 && left < 0; ++attempt) {
    Sleep(50);
    image = CaptureClient(control);
    int x = image.width - 1;
    cell_height = 0;
    while (cell_height < image.height && (image.at(x, cell_height) & 0xFFFFFF) == title_red) {
      ++cell_height;
    }
    if (cell_height == 0) continue;
    int y = 4 * cell_height + cell_height / 2;
    for (int px = 0; px < image.width; ++px) {
      if ((image.at(px, y) & 0xFFFFFF) != highlight) continue;
      if (left < 0) left = px;
      right = px + 1;
    }
  }
  SavePng(image, frames_ + "changelog-find.png");
  ASSERT_GT(cell_height, 0);
  ASSERT_GE(left, 0) << "no highlight on the match's row";
  // Six cells wide, starting at column 12.
  EXPECT_EQ(left * 6, 12 * (right - left));
  // Nothing highlighted on the rows above or below.
  for (int row : {3, 5}) {
    int y = row * cell_height + cell_height / 2;
    for (int px = 0; px < image.width; ++px) {
      ASSERT_NE(image.at(px, y) & 0xFFFFFF, highlight) << "row " << row << " x " << px;
    }
  }
}

// Files that claim huge pictures, point past their end or would take
// minutes (made by the decoder pictures script): each shows black, the
// process stays alive with its memory bounded, and it answers at once.
TEST_F(ViewerEndToEnd, HostileFilesShowBlackAndKeepTheProgramAlive) {
  const char* names[] = {"far_overflow.ico", "short_entry.ico", "png_inside_huge.ico", "png_inside_unbacked.ico",
                         "overflow.bmp",     "rle_huge.bmp",     "progressive_65500.jpg", "progressive_23000.jpg",
                         "many_scans.jpg",   "wide_image.gif",   "bound_unable.png"};
  std::string typed;
  for (const char* name : names) {
    ASSERT_TRUE(CopyFileW(Wide(WindowsPath(VISTREL_DECODER_PICTURES) + "\\" + name).c_str(),
                          Wide(pictures_ + name).c_str(), FALSE)) << name;
    typed += std::string("\"") + name + "\" ";
  }
  OpenWithDialog(typed);
  for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
    ExpectShown(nullptr, RefEffects(), std::string("hostile-") + names[i]);
    ASSERT_EQ(WaitForSingleObject(v_.process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << names[i];
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(v_.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer), 0) << names[i];
    PressKeys({VK_RIGHT}, 50);
  }
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(v_.process.hProcess, &memory, sizeof memory) && memory.PeakWorkingSetSize) {
    printf("peak working set of vistrel.exe: %u MB\n", static_cast<unsigned>(memory.PeakWorkingSetSize >> 20));
    EXPECT_LT(memory.PeakWorkingSetSize, SIZE_T(400) << 20);
  }
}

// Files that claim pictures their few bytes cannot hold, each opened alone in
// a fresh process: a 1 KB RLE8 BMP claiming 23000 x 23000, a baseline JPEG
// cut to 4 KB claiming 23000 x 23000, a 237-byte progressive JPEG header
// claiming 16000 x 16000; and a GIF whose first image is 15 times as wide as
// its screen. Each shows black or the clipped picture, the program answers
// within a second of the Enter key and stays under 400 MB.
TEST_F(ViewerEndToEnd, CraftedFilesAnswerAtOnceAndStaySmall) {
  const char* names[] = {"rle8_23000.bmp", "baseline_23000.jpg", "progressive_16000.jpg", "wide_first_image.gif"};
  printf("%-24s %10s %10s\n", "file", "answer ms", "peak MB");
  for (const char* name : names) {
    std::string source = WindowsPath(VISTREL_DECODER_PICTURES) + "\\" + name;
    ASSERT_TRUE(CopyFileW(Wide(source).c_str(), Wide(pictures_ + name).c_str(), FALSE)) << name;
    if (v_.process.hProcess) {
      PostMessageW(v_.window, WM_SYSCOMMAND, SC_CLOSE, 0);
      WaitForVistrelExit(&v_);
      v_ = VistrelProcess();
    }
    ASSERT_TRUE(StartVistrel(folder_ + "app\\", "", pictures_, &v_));
    SetForegroundWindow(v_.window);
    Sleep(200);
    double answer_ms = -1;
    OpenWithDialog(std::string("\"") + name + "\"", &answer_ms);
    RefImage clipped;
    bool gif = strstr(name, ".gif") != nullptr;
    if (gif) {
      Bitmap* bitmap = LoadGifFile(source.c_str());
      ASSERT_NE(bitmap, nullptr);
      EXPECT_EQ(bitmap->Width(), 100);
      clipped = ImageOf(bitmap);
      delete bitmap;
    }
    ExpectShown(gif ? &clipped : nullptr, RefEffects(), std::string("crafted-") + name);
    ASSERT_EQ(WaitForSingleObject(v_.process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << name;
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    ASSERT_TRUE(GetProcessMemoryInfo(v_.process.hProcess, &memory, sizeof memory));
    printf("%-24s %10.0f %10u\n", name, answer_ms, static_cast<unsigned>(memory.PeakWorkingSetSize >> 20));
    EXPECT_LT(answer_ms, 1000.0) << name;
    EXPECT_LT(memory.PeakWorkingSetSize, SIZE_T(400) << 20) << name;
  }
}
