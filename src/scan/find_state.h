#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "scan/folder_tree.h"
#include "scan/found_catalogue.h"
#include "settings/language_file.h"
#include "volume/volume.h"

namespace orvanta {

// What the scans and the wipe engine work on: the selected volume with its
// geometry, FAT and last chain, the catalogue of found files and its folder
// tree, the found counter, the mask of the last Find and the language file.
struct FindState {
  FindState(DriveProvider &drives, std::filesystem::path catalogueFile, LanguageFile language)
      : Vol(drives), Catalogue(catalogueFile), Language(std::move(language)) {}

  orvanta::Volume Vol;
  TFoundCatalogue Catalogue;
  FolderTree Tree;
  std::int64_t FoundCount = 0;
  std::string SearchMask;
  LanguageFile Language;
};

} // namespace orvanta
