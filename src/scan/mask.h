#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

// A file-name mask: "*" matches any run of characters, "?" exactly one,
// "[abc]" / "[a-z]" one character of the set and "[!abc]" one outside it;
// everything else matches itself. Letter case never counts.
class FileMask {
public:
  // Compiles a mask; an unclosed set makes it invalid, with `error` set to
  // "'MASK' is an invalid mask at (N)", N the 1-based character position.
  static std::optional<FileMask> Compile(std::string_view mask, std::string &error);

  // With `firstIsAny` the name's first character stands for a lost one
  // (ShortEntry::FirstLetterLost) and every mask character that matches one
  // character matches it.
  bool Matches(std::string_view name, bool firstIsAny = false) const;

private:
  struct Token {
    enum Kind { Literal, AnyOne, AnyRun, Set } Kind = Literal;
    char32_t Char = 0;
    bool Negated = false;
    std::vector<std::pair<char32_t, char32_t>> Ranges;
    bool Accepts(char32_t c) const;
  };
  std::vector<Token> tokens_;
};

// A search mask of exactly "*.*" is not matched at all: it admits every
// name, those without a dot included.
inline bool AdmitsEverything(std::string_view searchMask) { return searchMask == "*.*"; }

// Whether a name that a person typed names a shown one: letter case aside,
// and, when the shown name's first letter was lost (shown as the table's
// character for 0xE5), with any character in its place.
bool NamesShownName(std::string_view typed, std::string_view shown, bool firstLetterLost);

} // namespace orvanta
