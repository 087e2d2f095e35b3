#pragma once
// A test with the program's window classes registered and its settings in a
// fresh folder of the test's; OpenMainWindow() creates the program's real main
// window (with its picture control) in this process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

class MainWindowFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  // Destroys the main window if it is still open, taking its quit message.
  void TearDown() override;

  // Creates the main window as start-up does and lets it show itself.
  HWND OpenMainWindow();
  // Destroys the main window (if open) and frees its object.
  void CloseMainWindow();
  // Pumps until the quit message arrives; returns its code, or -1 when none
  // came within three seconds.
  int DrainQuit();

  std::string folder_;   // the test's folder: executable folder and settings folder
};

// Runs the picture control's decoding work, as its timer would, until the
// picture at the position is shown; FinishPictureWork also until the
// neighbour is prepared and nothing remains.
void FinishShowing();
void FinishPictureWork();
