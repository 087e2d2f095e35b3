#include "auxwindows/text_search.h"

#include <cstdint>
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

// Every search runs in time linear in the line's length (and the search
// text's): the line is read once, symbol by symbol, by a Knuth-Morris-Pratt
// matcher over the text as compared (ASCII case folded when the mode ignores
// case), so a near miss never makes it compare again what it has seen.
struct Matcher {
  std::string pattern;          // folded when case is ignored
  std::vector<size_t> failure;  // longest proper border of each prefix
  bool fold;
  size_t matched;               // pattern bytes matched so far
};

unsigned char Symbol(const Matcher& m, unsigned char c) {
  return m.fold ? Lower(c) : c;
}

bool MakeMatcher(const std::string& pattern, bool fold, Matcher* m) {
  m->fold = fold;
  m->matched = 0;
  try {
    m->pattern = pattern;
    m->failure.assign(pattern.size(), 0);
  } catch (...) {
    return false;
  }
  for (char& c : m->pattern) c = static_cast<char>(Symbol(*m, static_cast<unsigned char>(c)));
  const std::string& p = m->pattern;
  size_t k = 0;
  for (size_t i = 1; i < p.size(); i++) {
    while (k > 0 && p[i] != p[k]) k = m->failure[k - 1];
    if (p[i] == p[k]) k++;
    m->failure[i] = k;
  }
  return true;
}

// Takes one symbol; true when the whole pattern has just been matched.
bool Feed(Matcher* m, unsigned char symbol) {
  const std::string& p = m->pattern;
  unsigned char c = Symbol(*m, symbol);
  while (m->matched > 0 && static_cast<unsigned char>(p[m->matched]) != c) {
    m->matched = m->failure[m->matched - 1];
  }
  if (static_cast<unsigned char>(p[m->matched]) == c) m->matched++;
  if (m->matched < p.size()) return false;
  m->matched = m->failure[p.size() - 1];
  return true;
}

// Where the pattern's first byte (folded when fold) may next occur at or
// after at (nothing before it can start a match); the length when nowhere.
size_t SkipToFirstByte(unsigned char first, bool fold, const unsigned char* line, size_t length,
                       size_t at) {
  bool letter = first >= 'a' && first <= 'z';
  if (!fold || !letter) {
    const void* hit = memchr(line + at, first, length - at);
    return hit ? static_cast<size_t>(static_cast<const unsigned char*>(hit) - line) : length;
  }
  unsigned char upper = static_cast<unsigned char>(first - 32);
  while (at < length && line[at] != first && line[at] != upper) at++;
  return at;
}

bool IsWholeWord(const unsigned char* line, size_t length, size_t start, size_t end) {
  return (start == 0 || !IsAsciiAlnum(line[start - 1])) &&
         (end == length || !IsAsciiAlnum(line[end]));
}

// Substring and word modes. Forward: the first match starting at or after
// from; backward: the last match starting at or before from.
bool PlainMatch(int mode, const std::string& needle, const unsigned char* line, size_t length,
                size_t from, bool forward, LineMatch* match) {
  size_t nl = needle.size();
  if (nl == 0 || nl > length) return false;
  bool fold = (mode & 1) == 0;
  bool words = mode / 2 == 1;
  size_t scan_end = length;
  size_t at = forward ? from : 0;
  if (!forward) {
    if (from > length - nl) from = length - nl;
    scan_end = from + nl;
  }
  unsigned char first = static_cast<unsigned char>(needle[0]);
  if (fold) first = Lower(first);
  // Most lines hold no candidate at all: they cost no matcher.
  if (at >= scan_end || SkipToFirstByte(first, fold, line, scan_end, at) == scan_end) return false;
  Matcher m;
  if (!MakeMatcher(needle, fold, &m)) return false;
  bool found = false;
  while (at < scan_end) {
    if (m.matched == 0) {
      at = SkipToFirstByte(first, fold, line, scan_end, at);
      if (at == scan_end) break;
    }
    if (Feed(&m, line[at++])) {
      size_t start = at - nl;
      if (!words || IsWholeWord(line, length, start, at)) {
        *match = {start, at};
        found = true;
        if (forward) return true;
      }
    }
  }
  return found;
}

// Token modes. The line is read as its tokens joined by single spaces (each
// run of spaces and tabs one separator), and the search tokens likewise; a
// match of the joined search tokens is a run when it starts at a line token's
// start, at its first "." or just after that ".", and ends at a token's end.
// The last tokens' bounds are kept in a ring as long as the search text has
// tokens.
struct TokenBounds {
  size_t start, end, first_dot;   // first_dot is SIZE_MAX when the token has none
};

bool TokenMatch(int mode, const std::string& needle_text, const unsigned char* line,
                size_t length, size_t from, bool forward, LineMatch* match) {
  std::vector<TokenSpan> needle_tokens = SplitTokens(needle_text.data(), needle_text.size());
  if (needle_tokens.empty()) return false;
  std::string joined;
  std::vector<TokenBounds> ring;
  try {
    for (const TokenSpan& t : needle_tokens) {
      if (!joined.empty()) joined += ' ';
      joined.append(needle_text, t.start, t.end - t.start);
    }
    ring.resize(needle_tokens.size());
  } catch (...) {
    return false;
  }
  size_t first_token_length = needle_tokens[0].end - needle_tokens[0].start;
  bool fold = (mode & 1) == 0;
  unsigned char first = static_cast<unsigned char>(joined[0]);
  if (fold) first = Lower(first);
  // A line without the first byte anywhere costs no matcher.
  if (SkipToFirstByte(first, fold, line, length, 0) == length) return false;
  Matcher m;
  if (!MakeMatcher(joined, fold, &m)) return false;
  size_t k = needle_tokens.size();
  size_t tokens_seen = 0;
  bool found = false;
  size_t at = 0;
  while (at < length) {
    // The next token, and the separator before it when it is not the first.
    while (at < length && IsTokenBreak(line[at])) at++;
    if (at == length) break;
    if (tokens_seen > 0) Feed(&m, ' ');   // never completes: no token ends with it
    TokenBounds& bounds = ring[tokens_seen % k];
    bounds.start = at;
    bounds.first_dot = SIZE_MAX;
    while (at < length && !IsTokenBreak(line[at])) {
      if (line[at] == '.' && bounds.first_dot == SIZE_MAX) bounds.first_dot = at;
      bool complete = Feed(&m, line[at++]);
      bool token_ends = at == length || IsTokenBreak(line[at]);
      if (!complete || !token_ends || tokens_seen + 1 < k) continue;
      // The run began k - 1 tokens back; the first search token is the end
      // of that line token.
      const TokenBounds& first = ring[(tokens_seen + 1) % k];
      size_t first_end = k == 1 ? at : first.end;
      size_t start = first_end - first_token_length;
      size_t dot = first.first_dot;
      bool starts_well =
          start == first.start || start == dot || (dot != SIZE_MAX && start == dot + 1);
      if (!starts_well) continue;
      if (forward ? start < from : start > from) continue;
      *match = {start, at};
      if (forward) return true;
      found = true;   // backward: keep the last one
    }
    bounds.end = at;
    tokens_seen++;
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
