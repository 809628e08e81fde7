#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/operation_guard.h"
#include "scan/folder_tree.h"
#include "scan/found_catalogue.h"
#include "settings/language_file.h"
#include "volume/volume.h"

namespace orvanta {

// The state that the commands share for the whole run of the program: the
// selected volume with its geometry, FAT and last chain, the catalogue of
// found files and its folder tree, the found counter, the mask of the last
// Find and the language file. The front end owns one and hands it to every
// command; each operation holds `Operation` while it runs, so that a second
// one started meanwhile (from another thread) is refused.
struct EngineState {
  EngineState(DriveProvider &drives, std::filesystem::path catalogueFile, LanguageFile language)
      : Vol(drives), Catalogue(std::move(catalogueFile)), Language(std::move(language)) {}

  orvanta::Volume Vol;
  TFoundCatalogue Catalogue;
  FolderTree Tree;
  std::int64_t FoundCount = 0;
  std::string SearchMask;
  LanguageFile Language;
  OperationLock Operation;
};

} // namespace orvanta
