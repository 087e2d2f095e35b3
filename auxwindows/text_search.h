#pragma once
// Matching a search text within one line, in the viewer's six modes:
// 0 "substring", 1 "SubString", 2 "wordmatch", 3 "WordMatch",
// 4 "tokenmatch", 5 "TokenMatch". Odd modes compare case-sensitively, even
// ones ignore ASCII case. No platform header.
#include <cstddef>
#include <string>
#include <vector>

const int SEARCH_MODE_COUNT = 6;
const char* SearchModeName(int mode);

struct TokenSpan {
  size_t start, end;   // byte offsets, end exclusive
};
// Splits at spaces and tabs; empty tokens are dropped.
std::vector<TokenSpan> SplitTokens(const char* bytes, size_t length);

struct LineMatch {
  size_t start, end;   // byte offsets of the match in the line, end exclusive
};

// Forward: the first match starting at or after from; backward: the last
// match starting at or before from. Offsets are bytes. False when none.
bool MatchInLine(int mode, const std::string& needle, const char* line, size_t length,
                 size_t from, bool forward, LineMatch* match);
