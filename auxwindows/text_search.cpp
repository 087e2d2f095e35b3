#include "auxwindows/text_search.h"

#include <cstring>

namespace {

unsigned char Lower(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

bool IsAsciiAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsTokenBreak(unsigned char c) {
  return c == ' ' || c == '\t';
}

bool SameBytes(const unsigned char* a, const unsigned char* b, size_t n, bool exact_case) {
  if (exact_case) return memcmp(a, b, n) == 0;
  for (size_t i = 0; i < n; i++) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// Whether a match of the needle's length starts at offset at of the line.
bool MatchesAt(int mode, const unsigned char* line, size_t length, size_t at,
               const unsigned char* needle, size_t needle_length) {
  if (at + needle_length > length) return false;
  if (!SameBytes(line + at, needle, needle_length, (mode & 1) != 0)) return false;
  if (mode / 2 == 1) {
    if (at > 0 && IsAsciiAlnum(line[at - 1])) return false;
    size_t end = at + needle_length;
    if (end < length && IsAsciiAlnum(line[end])) return false;
  }
  return true;
}

bool PlainMatch(int mode, const std::string& needle, const unsigned char* line, size_t length,
                size_t from, bool forward, LineMatch* match) {
  const unsigned char* n = reinterpret_cast<const unsigned char*>(needle.data());
  size_t nl = needle.size();
  if (nl == 0 || nl > length) return false;
  size_t last_start = length - nl;
  bool exact = (mode & 1) != 0;
  if (forward) {
    unsigned char first_lower = Lower(n[0]);
    unsigned char first_upper = first_lower >= 'a' && first_lower <= 'z'
                                    ? static_cast<unsigned char>(first_lower - 32)
                                    : first_lower;
    bool one_first_byte = exact || first_lower == first_upper;
    for (size_t at = from; at <= last_start; at++) {
      if (one_first_byte) {
        // Jump to the next place the first byte occurs.
        const void* hit = memchr(line + at, n[0], last_start - at + 1);
        if (!hit) return false;
        at = static_cast<const unsigned char*>(hit) - line;
      } else {
        while (at <= last_start && line[at] != first_lower && line[at] != first_upper) at++;
        if (at > last_start) return false;
      }
      if (MatchesAt(mode, line, length, at, n, nl)) {
        *match = {at, at + nl};
        return true;
      }
    }
    return false;
  }
  if (from > last_start) from = last_start;
  for (size_t at = from + 1; at-- > 0;) {
    if (MatchesAt(mode, line, length, at, n, nl)) {
      *match = {at, at + nl};
      return true;
    }
  }
  return false;
}

// The places a token run may start within a line token: its start, its
// first "." and just after that ".".
int TokenStarts(const unsigned char* line, size_t token_start, size_t token_end,
                size_t starts[3]) {
  int count = 0;
  starts[count++] = token_start;
  const void* dot = memchr(line + token_start, '.', token_end - token_start);
  if (dot) {
    size_t d = static_cast<const unsigned char*>(dot) - line;
    if (d != token_start) starts[count++] = d;
    if (d + 1 < token_end) starts[count++] = d + 1;
  }
  return count;
}

// The next token of the line at or after *at: its bounds, false at the end.
bool NextToken(const unsigned char* line, size_t length, size_t* at, size_t* start,
               size_t* end) {
  size_t p = *at;
  while (p < length && IsTokenBreak(line[p])) p++;
  if (p == length) return false;
  *start = p;
  while (p < length && !IsTokenBreak(line[p])) p++;
  *end = p;
  *at = p;
  return true;
}

// Whether the search tokens match the line from start (inside the token that
// ends at first_end) on; *end receives the end of the last matched token.
// The line's tokens are walked as they come, so nothing is stored per token.
bool TokenRunAt(bool exact, const unsigned char* line, size_t length, size_t start,
                size_t first_end, const unsigned char* needle,
                const std::vector<TokenSpan>& needle_tokens, size_t* end) {
  size_t from = start, to = first_end, at = first_end;
  for (size_t k = 0; k < needle_tokens.size(); k++) {
    if (k > 0 && !NextToken(line, length, &at, &from, &to)) return false;
    const TokenSpan& nt = needle_tokens[k];
    size_t nl = nt.end - nt.start;
    if (to - from != nl) return false;
    if (!SameBytes(line + from, needle + nt.start, nl, exact)) return false;
  }
  *end = to;
  return true;
}

bool TokenMatch(int mode, const std::string& needle_text, const unsigned char* line,
                size_t length, size_t from, bool forward, LineMatch* match) {
  const unsigned char* needle = reinterpret_cast<const unsigned char*>(needle_text.data());
  std::vector<TokenSpan> needle_tokens = SplitTokens(needle_text.data(), needle_text.size());
  if (needle_tokens.empty()) return false;
  bool exact = (mode & 1) != 0;
  bool found = false;
  size_t at = 0, token_start = 0, token_end = 0;
  while (NextToken(line, length, &at, &token_start, &token_end)) {
    if (!forward && token_start > from) break;
    size_t starts[3];
    int count = TokenStarts(line, token_start, token_end, starts);
    for (int s = 0; s < count; s++) {
      size_t start = starts[s];
      if (forward ? start < from : start > from) continue;
      size_t end = 0;
      if (!TokenRunAt(exact, line, length, start, token_end, needle, needle_tokens, &end)) {
        continue;
      }
      *match = {start, end};
      if (forward) return true;
      found = true;   // backward: keep the last one
    }
  }
  return found;
}

}  // namespace

const char* SearchModeName(int mode) {
  static const char* const NAMES[SEARCH_MODE_COUNT] = {
      "substring", "SubString", "wordmatch", "WordMatch", "tokenmatch", "TokenMatch"};
  return mode >= 0 && mode < SEARCH_MODE_COUNT ? NAMES[mode] : NAMES[0];
}

std::vector<TokenSpan> SplitTokens(const char* bytes, size_t length) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  std::vector<TokenSpan> tokens;
  size_t at = 0;
  while (at < length) {
    while (at < length && IsTokenBreak(b[at])) at++;
    if (at == length) break;
    size_t start = at;
    while (at < length && !IsTokenBreak(b[at])) at++;
    tokens.push_back({start, at});
  }
  return tokens;
}

bool MatchInLine(int mode, const std::string& needle, const char* line, size_t length,
                 size_t from, bool forward, LineMatch* match) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(line);
  if (length == 0 || !line) return false;
  if (mode / 2 == 2) return TokenMatch(mode, needle, b, length, from, forward, match);
  return PlainMatch(mode, needle, b, length, from, forward, match);
}
