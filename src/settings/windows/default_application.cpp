#include "settings/windows/default_application.h"

#include <windows.h>
#include <shlwapi.h>

#include "platform/windows/wide_text.h"

namespace orvanta {

std::string DefaultOpenCommand(std::string_view extension) {
  if (extension.empty())
    return {};
  const std::wstring type = Widen(extension);
  DWORD length = 0;
  if (::AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, type.c_str(), L"open", nullptr,
                          &length) != S_FALSE ||
      length == 0)
    return {};
  std::wstring command(length, L'\0');
  if (FAILED(::AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, type.c_str(), L"open",
                                 command.data(), &length)))
    return {};
  command.resize(length > 0 ? length - 1 : 0); // the count includes the final zero
  return Narrow(command);
}

} // namespace orvanta
