#include "settings/windows/default_application.h"

#include <windows.h>
#include <shlwapi.h>

#include "platform/windows/wide_text.h"

namespace orvanta {

std::string DefaultOpenCommand(std::string_view extension) {
  if (extension.empty())
    return {};
  const std::wstring type = Widen(extension);
  // A command longer than the buffer is asked for again with the length the
  // system names.
  std::wstring command(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD length = static_cast<DWORD>(command.size());
    const HRESULT result = ::AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, type.c_str(),
                                               L"open", command.data(), &length);
    if (SUCCEEDED(result)) {
      command.resize(length > 0 ? length - 1 : 0); // the count includes the final zero
      return Narrow(command.c_str());
    }
    if (result != E_POINTER && result != HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER))
      return {};
    command.assign(std::max<DWORD>(length, static_cast<DWORD>(command.size()) * 4), L'\0');
  }
  return {};
}

} // namespace orvanta
