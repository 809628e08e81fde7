#include "scan/mask.h"

#include "engine/text.h"

namespace orvanta {

namespace {

std::vector<char32_t> CodePoints(std::string_view text) {
  std::vector<char32_t> out;
  for (std::size_t pos = 0; pos < text.size();)
    out.push_back(FoldCase(NextCodePoint(text, pos)));
  return out;
}

} // namespace

bool FileMask::Token::Accepts(char32_t c) const {
  switch (Kind) {
  case Literal:
    return c == Char;
  case AnyOne:
  case AnyRun:
    return true;
  case Set: {
    bool in = false;
    for (const auto &[lo, hi] : Ranges)
      in = in || (c >= lo && c <= hi);
    return in != Negated;
  }
  }
  return false;
}

std::optional<FileMask> FileMask::Compile(std::string_view mask, std::string &error) {
  const auto chars = CodePoints(mask);
  FileMask m;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    Token t;
    if (chars[i] == '*') {
      if (!m.tokens_.empty() && m.tokens_.back().Kind == Token::AnyRun)
        continue;
      t.Kind = Token::AnyRun;
    } else if (chars[i] == '?') {
      t.Kind = Token::AnyOne;
    } else if (chars[i] == '[') {
      t.Kind = Token::Set;
      std::size_t j = i + 1;
      if (j < chars.size() && chars[j] == '!') {
        t.Negated = true;
        ++j;
      }
      while (j < chars.size() && chars[j] != ']') {
        if (j + 2 < chars.size() && chars[j + 1] == '-' && chars[j + 2] != ']') {
          t.Ranges.emplace_back(chars[j], chars[j + 2]);
          j += 3;
        } else {
          t.Ranges.emplace_back(chars[j], chars[j]);
          ++j;
        }
      }
      if (j >= chars.size()) {
        error = "'" + std::string(mask) + "' is an invalid mask at (" +
                std::to_string(chars.size() + 1) + ")";
        return std::nullopt;
      }
      i = j;
    } else {
      t.Char = chars[i];
    }
    m.tokens_.push_back(std::move(t));
  }
  return m;
}

bool FileMask::Matches(std::string_view name, bool firstIsAny) const {
  // Wildcard matching with one backtrack point: the last "*" seen.
  const auto chars = CodePoints(name);
  std::size_t t = 0, c = 0;
  std::size_t starToken = std::string::npos, starChar = 0;
  while (c < chars.size()) {
    if (t < tokens_.size() && tokens_[t].Kind == Token::AnyRun) {
      starToken = t++;
      starChar = c;
    } else if (t < tokens_.size() && (tokens_[t].Accepts(chars[c]) || (c == 0 && firstIsAny))) {
      ++t;
      ++c;
    } else if (starToken != std::string::npos) {
      t = starToken + 1;
      c = ++starChar;
    } else {
      return false;
    }
  }
  while (t < tokens_.size() && tokens_[t].Kind == Token::AnyRun)
    ++t;
  return t == tokens_.size();
}

bool NamesShownName(std::string_view typed, std::string_view shown, bool firstLetterLost) {
  if (EqualsIgnoreCase(typed, shown))
    return true;
  if (!firstLetterLost || typed.empty() || shown.empty())
    return false;
  std::size_t typedRest = 0, shownRest = 0;
  NextCodePoint(typed, typedRest);
  NextCodePoint(shown, shownRest);
  return EqualsIgnoreCase(typed.substr(typedRest), shown.substr(shownRest));
}

} // namespace orvanta
