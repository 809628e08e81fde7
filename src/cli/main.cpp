#include "cli/commands.h"

#if defined(_WIN32)

#include <string>
#include <string_view>
#include <vector>
#include <windows.h>

#include "engine/text.h"

// Windows hands the program its words in UTF-16; inside they are UTF-8, and
// so is what the console is given to show (its earlier code pages come back
// at the end).
int wmain(int argc, wchar_t **wargv) {
  const UINT outputCodePage = ::GetConsoleOutputCP();
  const UINT inputCodePage = ::GetConsoleCP();
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCP(CP_UTF8);
  std::vector<std::string> words;
  for (int i = 0; i < argc; ++i)
    words.push_back(orvanta::Utf16ToUtf8(reinterpret_cast<const char16_t *>(wargv[i])));
  std::vector<char *> argv;
  for (auto &word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  const int exitCode = orvanta::cli::Main(argc, argv.data());
  if (outputCodePage != 0)
    ::SetConsoleOutputCP(outputCodePage);
  if (inputCodePage != 0)
    ::SetConsoleCP(inputCodePage);
  return exitCode;
}

#else

int main(int argc, char **argv) { return orvanta::cli::Main(argc, argv); }

#endif
