// The images the boot screen draws, by file GUID: what each is for, where the module draws it
// and with which palette half. Artwork checks place each file at every position it takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "uefi/uefi_base.h"

namespace sim {

struct ImagePosition {
  uint32_t bottom_margin, left_margin;
  std::string where;
};

struct ImageRole {
  EFI_GUID guid;
  std::string name;
  uint32_t high_palette;
  std::vector<ImagePosition> positions;
};

const std::vector<ImageRole> &BootScreenImageRoles();
// The role of `guid`, or null for a file the boot screen does not draw.
const ImageRole *FindImageRole(const EFI_GUID &guid);
// The role's name ("logo", "banner A", "glyph '7'"), or "file <GUID>" for any other file.
std::string ImageRoleName(const EFI_GUID &guid);
// The role a name picks: a role's name ("banner A", case and spaces or underscores alike) or the
// stem of its file in the board's manifest ("banner_a", "glyph_dot"). Null when none matches.
const ImageRole *FindImageRoleByName(const std::string &name);

} // namespace sim
