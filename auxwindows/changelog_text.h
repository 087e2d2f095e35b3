#pragma once
// How the viewer reads a text file into lines: pieces of at most 4,095 bytes
// joined up to each line feed (a line grown beyond 32 MiB is ended at the
// next piece and the rest goes on as a new line), a leading byte-order mark
// dropped, carriage returns and line feeds at line ends removed, then tabs
// turned into spaces by the detected tab width. No platform header.
#include <cstddef>
#include <cstdio>

#include "auxwindows/text_lines.h"

// The length at which an unbroken line is cut: the first whole number of
// 4,095-byte pieces beyond 33,554,432 bytes.
const size_t LINE_SPLIT_LENGTH = (33554432 / 4095 + 1) * 4095;

// The tab width of the lines as they were read (before expansion): when the
// file is indented with tabs and no line has a tab after its leading spaces
// or more than 7 of them, the largest count + 1 of those spaces, at least 5;
// otherwise default_width.
int DetectTabWidth(const TextLines& text, int default_width);

// Replaces every tab by tab_width spaces, wherever it stands.
bool ExpandTabs(TextLines* text, int tab_width);

// Appends the file's lines to text and sets *tab_width (left as it is when no
// width was detected), tabs already expanded. Returns false when reading or
// memory failed; the lines read so far stay.
bool LoadTextFile(FILE* file, TextLines* text, int* tab_width);
