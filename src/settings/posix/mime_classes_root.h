#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/posix/xdg_dirs.h"
#include "settings/registry.h"

namespace orvanta {

// HKEY_CLASSES_ROOT answered from the shared MIME database, read-only:
//
//   ""                               exists (the root itself)
//   ".ext"                           exists when a glob "*.ext" is known; its
//                                    default value is the MIME type's name,
//                                    for example "image/jpeg"
//   "<type>"                         exists when the type is known
//   "<type>\shell\open\command"      (and the keys above it) exist when the
//                                    desktop has a default program for the
//                                    type; the default value is its command
//                                    line (DefaultOpenCommand)
//
// Names are found in any letter case, as ".JPG" and "IMAGE/JPEG" are.
// Extensions come from each data folder's mime/globs2, the first folder
// that knows the extension deciding; within it the heaviest glob wins.
// Every call reads the files as they are now.
class MimeClassesRoot {
public:
  explicit MimeClassesRoot(XdgDirs dirs) : dirs_(std::move(dirs)) {}

  std::optional<RegValue> QueryValue(std::string_view keyPath, std::string_view name) const;
  bool KeyExists(std::string_view keyPath) const;

  // The MIME type of file names ending in "." + extension.
  std::optional<std::string> TypeOfExtension(std::string_view extension) const;
  bool IsKnownType(std::string_view mimeType) const;

private:
  enum class KeyKind { None, Root, Extension, Type, Shell, Command };
  struct ResolvedKey {
    KeyKind Kind = KeyKind::None;
    std::string Text; // the type of an extension; the command of a Command key
  };
  ResolvedKey Resolve(std::string_view keyPath) const;

  XdgDirs dirs_;
};

} // namespace orvanta
