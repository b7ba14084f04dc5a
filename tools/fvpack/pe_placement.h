// Where a volume's images execute, and PE32 images prepared for it. A volume whose PEIMs execute
// in place has them rebased, at build time, to the address their PE32 or TE section's data has
// at run time; that address minus the section's offset in the volume is where the volume sits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/fvpack/flash_image.h"

namespace fvpack {

// The run-time address of `volume` as its pre-relocated images give it; none when it holds no
// such image. Throws FlashError when two images disagree.
std::optional<uint64_t> VolumeBaseFromImages(const Volume &volume, const std::string &where);

// The sections of a module file: a dependency section (when `depexType` is not 0), the PE32
// section and, when `uiName` is not empty, a name section. With `xipBase`, the PE32 is rebased
// to the address its data lands at, file offset `fileOffset` of a volume at *xipBase, and
// aligned there to the image's section alignment by a raw pad section before it.
// Throws FlashError naming `source` for an image that cannot execute in place or must move
// without relocations.
std::vector<uint8_t> ModuleFileData(const std::vector<uint8_t> &pe32, const std::string &source,
                                    uint8_t depexType, const std::vector<uint8_t> &depex,
                                    const std::string &uiName, std::optional<uint64_t> xipBase,
                                    size_t fileOffset);

// A dependency expression that requires every GUID listed (TRUE for none).
std::vector<uint8_t> DepexRequiring(const std::vector<EFI_GUID> &guids);

} // namespace fvpack
