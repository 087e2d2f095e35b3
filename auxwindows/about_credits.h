#pragma once
// The About window's credits and the arithmetic of its roll: where each row
// stands for a scroll offset, when the roll stops, and how the text fades
// before the roll starts again. No platform header.
#include <string>
#include <vector>

// What the credits take from the build.
struct AboutBuildFacts {
  std::string version;           // the program's version, "1.11"
  std::string build_timestamp;   // "Mmm dd yyyy hh:mm:ss"
  std::string commit_id;         // 40 hexadecimal digits
  std::string support_address;   // the support e-mail address
};

const int ABOUT_ROW_COUNT = 83;
const int ABOUT_FRAME_WIDTH = 630;
const int ABOUT_FRAME_HEIGHT = 210;

extern const char* const ABOUT_PROGRAM_NAME;          // "Vistrel"
extern const char* const ABOUT_PROGRAM_NAME_GREEK;
extern const char* const ABOUT_DEVELOPER_NAME;        // Latin script
extern const char* const ABOUT_DEVELOPER_NAME_GREEK;

// The 83 rows of the credits; blank rows are empty strings.
std::vector<std::string> AboutCreditRows(const AboutBuildFacts& facts);

// Indices of the empty rows, ascending.
std::vector<int> AboutBlankRows(const std::vector<std::string>& rows);

// Top of every row for the scroll offset (blank rows get the y they leave
// behind them). last_blank is the highest blank row.
void AboutRowTops(const std::vector<std::string>& rows, int last_blank, int scroll_offset,
                  std::vector<int>* tops);

// True when a row at top y is drawn into the frame.
bool IsAboutRowDrawn(int y);

// The text a row shows: with Ctrl held the program's and the developer's
// names are shown in Greek script.
const std::string& AboutRowText(const std::string& row, bool greek, std::string* scratch);

// Horizontal start of a row of width w centred on half.
int AboutRowLeft(int half, int width);

// The roll's state.
struct AboutAnimation {
  int fade_level = 255;
  int scroll_offset = 0;
  int scroll_limit = 0;
  bool limit_pending = true;
};

// The offset at which the roll stops, from the last row's top and measured
// height at offset 0.
int AboutScrollLimit(int last_row_top, int last_row_height);

// One tick: roll up by a pixel until the limit is passed, then fade; when the
// text has faded out the roll starts again from below.
void AdvanceAboutAnimation(AboutAnimation* animation);
