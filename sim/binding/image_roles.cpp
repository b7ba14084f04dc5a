#include "sim/binding/image_roles.h"

#include <cctype>

#include "modules/boot_progress_pei/progress/progress_guids.h"
#include "modules/boot_progress_pei/progress/screen_layout.h"
#include "sim/pi/fv_builder.h"

namespace sim {

namespace {
// The address line holds at most 15 characters ("255.255.255.255").
constexpr uint32_t kAddressMaxChars = 15;

std::vector<ImageRole> BuildRoles() {
  std::vector<ImageRole> roles;
  roles.push_back({LogoImageGuid, "logo", kLowPalette, {{0, 0, "centred"}}});
  const ImagePosition banner{kBannerBottomMargin, kBannerLeftMargin, "banner position"};
  roles.push_back({BannerImageAGuid, "banner A", kHighPalette, {banner}});
  roles.push_back({BannerImageBGuid, "banner B", kHighPalette, {banner}});
  roles.push_back({FooterImageGuid,
                   "footer",
                   kHighPalette,
                   {{kFooterBottomMargin, kFooterLeftMargin, "footer position"},
                    {kFooterRaisedBottomMargin, kFooterLeftMargin, "raised footer position"}}});
  static const char *const kLabels[] = {"LAN 1 label", "LAN 8 label", "no-transport label"};
  for (uint8_t code = kGlyphTableFirstCode; code <= kGlyphTableLastCode; ++code) {
    const EFI_GUID &guid = GlyphImageTable[code - kGlyphTableFirstCode];
    if (code <= kLabelNoTransportCode) {
      roles.push_back({guid,
                       kLabels[code - kGlyphTableFirstCode],
                       kHighPalette,
                       {{kAddressBottomMargin, kAddressLabelLeftMargin, "address label"}}});
      continue;
    }
    ImageRole glyph{guid, std::string("glyph '") + static_cast<char>(code) + "'", kHighPalette, {}};
    // The first and the last character cell of the address line.
    glyph.positions.push_back(
        {kAddressBottomMargin, kAddressFirstCharLeftMargin, "first address character"});
    glyph.positions.push_back(
        {kAddressBottomMargin,
         kAddressFirstCharLeftMargin + (kAddressMaxChars - 1) * kAddressCharPitch,
         "last address character"});
    roles.push_back(glyph);
  }
  return roles;
}
} // namespace

const std::vector<ImageRole> &BootScreenImageRoles() {
  static const std::vector<ImageRole> roles = BuildRoles();
  return roles;
}

const ImageRole *FindImageRole(const EFI_GUID &guid) {
  for (const ImageRole &r : BootScreenImageRoles()) {
    if (GuidEquals(&r.guid, &guid)) {
      return &r;
    }
  }
  return nullptr;
}

std::string ImageRoleName(const EFI_GUID &guid) {
  const ImageRole *role = FindImageRole(guid);
  return role ? role->name : "file " + GuidText(guid);
}

namespace {
// "Banner A", "banner_a" and "glyph '7'" / "glyph_7" compare equal.
std::string Normalised(const std::string &name) {
  std::string n;
  for (char c : name) {
    if (c == '\'') {
      continue;
    }
    n += c == ' ' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return n;
}
} // namespace

const ImageRole *FindImageRoleByName(const std::string &name) {
  for (const ImageRole &r : BootScreenImageRoles()) {
    if (Normalised(r.name) == Normalised(name)) {
      return &r;
    }
  }
  return nullptr;
}

} // namespace sim
