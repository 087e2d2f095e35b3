#include "auxwindows/about_credits.h"

const char* const ABOUT_PROGRAM_NAME = "Vistrel";
const char* const ABOUT_PROGRAM_NAME_GREEK = "\xCE\x92\xCE\xAF\xCF\x83\xCF\x84\xCF\x81\xCE\xB5\xCE\xBB";
const char* const ABOUT_DEVELOPER_NAME = "The Vistrel developers";
// "Οι προγραμματιστές του Βίστρελ"
const char* const ABOUT_DEVELOPER_NAME_GREEK =
    "\xCE\x9F\xCE\xB9 \xCF\x80\xCF\x81\xCE\xBF\xCE\xB3\xCF\x81\xCE\xB1\xCE\xBC\xCE\xBC\xCE\xB1"
    "\xCF\x84\xCE\xB9\xCF\x83\xCF\x84\xCE\xAD\xCF\x82 \xCF\x84\xCE\xBF\xCF\x85 "
    "\xCE\x92\xCE\xAF\xCF\x83\xCF\x84\xCF\x81\xCE\xB5\xCE\xBB";

std::vector<std::string> AboutCreditRows(const AboutBuildFacts& facts) {
  // The authors are the people the libraries' own copyright files name
  // (resources/license.txt carries them); where a file names fewer people than
  // the credits have rows, the rows say so rather than invent anyone.
  std::vector<std::string> rows = {
      ABOUT_PROGRAM_NAME,                                   // 0
      "Version: " + facts.version + " (x64)",
      "Build timestamp: " + facts.build_timestamp,
      "Git commit: " + facts.commit_id,
      "",
      "Developed by:",                                      // 5
      ABOUT_DEVELOPER_NAME,
      "",
      "C++ runtime (libstdc++):",
      "Free Software Foundation, Inc.",
      "",                                                   // 10
      "libpng:",
      "Guy Eric Schalnat",
      "Andreas Dilger",
      "Glenn Randers-Pehrson",
      "Cosmin Truta",                                       // 15
      "Willem van Schaik",
      "John Cunningham Bowler",
      "Adam M. Costello",
      "Greg Roelofs",
      "Tom Lane",                                           // 20
      "Dave Martindale",
      "Paul Schmidt",
      "Tim Wegner",
      "Simon-Pierre Cadieux",
      "Eric S. Raymond",                                    // 25
      "Gilles Vollant",
      "Kevin Bracey",
      "Sam Bushell",
      "Magnus Holmgren",
      "Tom Tanner",                                         // 30
      "and the PNG Reference Library Authors",
      "",
      "jpeglib:",
      "Thomas G. Lane",
      "Guido Vollbeding",                                   // 35
      "D. R. Commander",
      "MIYASAKA Masaru",
      "Pierre Ossman",
      "Todd Newman",
      "Jef Poskanzer",                                      // 40
      "David Koblas",
      "Jay Foad",
      "Matthias R\xC3\xA4ncker",
      "Independent JPEG Group",
      "",                                                   // 45
      "giflib:",
      "Gershon Elber",
      "(original giflib code)",
      "Eric S. Raymond",
      "(maintainer)",                                       // 50
      "Toshio Kuratomi",
      "(uncompressed GIF writing,",
      "former maintainer)",
      "Otto Moerbeek",
      "(reallocarray)",                                     // 55
      "and the many contributors named",
      "in giflib's version history",
      "",
      "zlib:",
      "Jean-loup Gailly",                                   // 60
      "Mark Adler",
      "",
      "Windows installer:",
      "Nullsoft Scriptable Install System (NSIS)",
      "Compressor | ZLIB",                                  // 65
      "",
      "Windows portable:",
      "Archive format | ZIP",
      "",
      "Vistrel wishes to thank the following",             // 70
      "for their assistance:",
      "the MinGW-w64 project",
      "the Wine project",
      "the GoogleTest authors",
      "and",                                                // 75
      "the Debian project",
      "",
      "Contact | email:",
      facts.support_address,
      "",                                                   // 80
      ABOUT_PROGRAM_NAME,
      "Copyright \xC2\xA9 2026 The Vistrel developers",
  };
  return rows;
}

std::vector<int> AboutBlankRows(const std::vector<std::string>& rows) {
  std::vector<int> blank;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].empty()) blank.push_back(static_cast<int>(i));
  }
  return blank;
}

void AboutRowTops(const std::vector<std::string>& rows, int last_blank, int scroll_offset,
                  std::vector<int>* tops) {
  tops->resize(rows.size());
  int y = 178 - scroll_offset;
  for (size_t i = 0; i < rows.size(); ++i) {
    int row = static_cast<int>(i);
    if (rows[i].empty()) {
      y += row == last_blank ? 150 : 32;
    } else {
      y += row <= last_blank ? 16 : 32;
    }
    (*tops)[i] = y;
  }
}

bool IsAboutRowDrawn(int y) {
  return y >= -16 && y <= ABOUT_FRAME_HEIGHT;
}

const std::string& AboutRowText(const std::string& row, bool greek, std::string* scratch) {
  if (!greek) return row;
  if (row == ABOUT_DEVELOPER_NAME) {
    *scratch = ABOUT_DEVELOPER_NAME_GREEK;
    return *scratch;
  }
  if (row == ABOUT_PROGRAM_NAME) {
    *scratch = ABOUT_PROGRAM_NAME_GREEK;
    return *scratch;
  }
  return row;
}

int AboutRowLeft(int half, int width) {
  return half - width / 2;
}

int AboutScrollLimit(int last_row_top, int last_row_height) {
  return last_row_top + last_row_height - 105;
}

void AdvanceAboutAnimation(AboutAnimation* animation) {
  if (animation->scroll_offset <= animation->scroll_limit) {
    ++animation->scroll_offset;
    return;
  }
  // Fading: the text stands still.
  animation->fade_level -= animation->fade_level > 220 ? 1 : 20;
  if (animation->fade_level <= 0) {
    animation->fade_level = 255;
    animation->scroll_offset = -32;
  }
}
