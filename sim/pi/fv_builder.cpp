#include "sim/pi/fv_builder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>

#include "sim/core/input_file.h"
#include "sim/core/json_input.h"
#include "sim/pi/pe_image.h"

namespace sim {

using nlohmann::json;

namespace {
constexpr uint8_t kErased = 0xFF;
constexpr uint64_t kFileAlignment = 8;
// Where the board's flash decodes, and the last block a volume can start at.
constexpr uint64_t kFlashWindowBase = 0xFF000000;
constexpr uint64_t kFlashWindowLast = 0x100000000 - kFvBlockSize;
constexpr uint32_t kVolumeAttributes = EFI_FVB2_READ_ENABLED_CAP | EFI_FVB2_READ_STATUS |
                                       EFI_FVB2_MEMORY_MAPPED | EFI_FVB2_ERASE_POLARITY |
                                       EFI_FVB2_ALIGNMENT_8;
// Header and a two-entry block map: the blocks, then the { 0, 0 } terminator.
constexpr uint16_t kHeaderLength =
    sizeof(EFI_FIRMWARE_VOLUME_HEADER) + sizeof(EFI_FV_BLOCK_MAP_ENTRY);
// A file that has been fully written: header constructed, header valid, data valid. Stored
// inverted, since erased flash reads as ones.
constexpr uint8_t kDataValidState =
    EFI_FILE_HEADER_CONSTRUCTION | EFI_FILE_HEADER_VALID | EFI_FILE_DATA_VALID;

uint64_t AlignUp(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }

void Put24(uint8_t *p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
}

std::vector<uint8_t> Section(uint8_t type, const std::vector<uint8_t> &data,
                             const FvFileSpec &spec) {
  const uint64_t sectionSize = sizeof(EFI_COMMON_SECTION_HEADER) + data.size();
  if (sectionSize >= kFfsSize24Max) {
    throw FvBuildError(spec.source + ": too large for a section (" + std::to_string(data.size()) +
                       " bytes)");
  }
  EFI_COMMON_SECTION_HEADER section{};
  Put24(section.Size, static_cast<uint32_t>(sectionSize));
  section.Type = type;
  const auto *s = reinterpret_cast<const uint8_t *>(&section);
  std::vector<uint8_t> bytes(s, s + sizeof section);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

// A pad section, then the PE32 section whose image data lands on the image's alignment at
// `fileAddress` + the file header, with the image rebased to that address.
std::vector<uint8_t> PeimBody(const FvFileSpec &spec, uint64_t fileAddress) {
  try {
    PeImage image(spec.data);
    if (!image.ExecutesInPlace()) {
      throw FvBuildError(spec.source +
                         ": cannot execute in place (section file offsets differ from their "
                         "RVAs; link with the file alignment equal to the section alignment)");
    }
    const uint64_t align = std::max<uint64_t>(image.SectionAlignment(), 4);
    const uint64_t sections = fileAddress + sizeof(EFI_FFS_FILE_HEADER);
    uint64_t pad = (align - (sections + 2 * sizeof(EFI_COMMON_SECTION_HEADER)) % align) % align;
    pad += sizeof(EFI_COMMON_SECTION_HEADER); // the pad section's own header
    image.Rebase(sections + pad + sizeof(EFI_COMMON_SECTION_HEADER));
    std::vector<uint8_t> body = Section(
        EFI_SECTION_RAW, std::vector<uint8_t>(pad - sizeof(EFI_COMMON_SECTION_HEADER), 0), spec);
    const std::vector<uint8_t> pe32 = Section(EFI_SECTION_PE32, image.Bytes(), spec);
    body.insert(body.end(), pe32.begin(), pe32.end());
    return body;
  } catch (const PeImageError &e) {
    throw FvBuildError(spec.source + ": " + e.what());
  }
}

std::vector<uint8_t> FileBytes(const FvFileSpec &spec, uint64_t fileAddress) {
  std::vector<uint8_t> body;
  if (spec.type == EFI_FV_FILETYPE_PEIM) {
    body = PeimBody(spec, fileAddress);
  } else if (spec.type == EFI_FV_FILETYPE_RAW) {
    body = spec.data;
  } else {
    body = Section(EFI_SECTION_RAW, spec.data, spec);
  }
  const uint64_t fileSize = sizeof(EFI_FFS_FILE_HEADER) + body.size();
  if (fileSize > kFfsSize24Max) {
    throw FvBuildError(spec.source + ": too large for an FFS2 file (" + std::to_string(fileSize) +
                       " bytes)");
  }
  EFI_FFS_FILE_HEADER header{};
  header.Name = spec.name;
  header.Type = spec.type;
  header.Attributes = 0;
  Put24(header.Size, static_cast<uint32_t>(fileSize));
  header.IntegrityCheck.File = FFS_FIXED_CHECKSUM;
  // The header checksum leaves State and IntegrityCheck.File out of the sum.
  uint8_t sum = 0;
  const auto *h = reinterpret_cast<const uint8_t *>(&header);
  for (size_t i = 0; i < sizeof header; ++i) {
    if (i != offsetof(EFI_FFS_FILE_HEADER, IntegrityCheck) + 1 &&
        i != offsetof(EFI_FFS_FILE_HEADER, State)) {
      sum = static_cast<uint8_t>(sum + h[i]);
    }
  }
  header.IntegrityCheck.Header = static_cast<uint8_t>(0x100 - sum);
  header.State = static_cast<uint8_t>(~kDataValidState);
  std::vector<uint8_t> bytes(h, h + sizeof header);
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}
} // namespace

bool ParseGuid(const std::string &input, EFI_GUID *guid) {
  std::string text = input;
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
    text = text.substr(1, 36);
  }
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
      text[23] != '-') {
    return false;
  }
  uint8_t raw[16];
  // Registry form: Data1-Data2-Data3-Data4[0..1]-Data4[2..7]; the first three are little-endian.
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  int byte = 0;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '-') {
      ++i;
      continue;
    }
    const int hi = HexDigit(text[i]);
    const int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) {
      return false;
    }
    raw[kOrder[byte++]] = static_cast<uint8_t>(hi << 4 | lo);
    i += 2;
  }
  std::memcpy(guid, raw, sizeof raw);
  return true;
}

std::string GuidText(const EFI_GUID &g) {
  char text[40];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::vector<uint8_t> BuildFirmwareVolume(const FvManifest &manifest) {
  std::vector<uint8_t> contents;
  uint64_t at = kHeaderLength;
  for (size_t i = 0; i < manifest.files.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (GuidEquals(&manifest.files[i].name, &manifest.files[j].name)) {
        throw FvBuildError(manifest.files[i].source + ": file GUID " +
                           GuidText(manifest.files[i].name) + " is already used by " +
                           manifest.files[j].source);
      }
    }
    const uint64_t start = AlignUp(at, kFileAlignment);
    contents.resize(start - kHeaderLength, kErased);
    if (manifest.files[i].type == EFI_FV_FILETYPE_PEIM && manifest.base == 0) {
      throw FvBuildError(manifest.files[i].source +
                         ": a PEI module executes in place; the manifest needs the volume's "
                         "flash \"base\"");
    }
    const std::vector<uint8_t> file = FileBytes(manifest.files[i], manifest.base + start);
    contents.insert(contents.end(), file.begin(), file.end());
    at = start + file.size();
  }
  const uint64_t needed = AlignUp(at, kFvBlockSize);
  uint64_t size = manifest.size == 0 ? needed : manifest.size;
  if (size % kFvBlockSize != 0) {
    throw FvBuildError("volume size " + std::to_string(size) + " is not a multiple of " +
                       std::to_string(kFvBlockSize) + " bytes");
  }
  if (size < at) {
    throw FvBuildError("the files need " + std::to_string(at) +
                       " bytes, more than the volume size " + std::to_string(size));
  }
  if (size > kFvMaxSize) {
    throw FvBuildError("volume of " + std::to_string(size) + " bytes exceeds the limit of " +
                       std::to_string(kFvMaxSize) + " bytes");
  }

  std::vector<uint8_t> fv(size, kErased);
  EFI_FIRMWARE_VOLUME_HEADER header{};
  header.FileSystemGuid = gEfiFirmwareFileSystem2Guid;
  header.FvLength = size;
  header.Signature = EFI_FVH_SIGNATURE;
  header.Attributes = kVolumeAttributes;
  header.HeaderLength = kHeaderLength;
  header.ExtHeaderOffset = 0;
  header.Revision = EFI_FVH_REVISION;
  header.BlockMap[0] = {static_cast<uint32_t>(size / kFvBlockSize), kFvBlockSize};
  std::memcpy(fv.data(), &header, sizeof header);
  std::memset(fv.data() + sizeof header, 0, sizeof(EFI_FV_BLOCK_MAP_ENTRY)); // terminator
  uint16_t sum = 0;
  for (size_t i = 0; i < kHeaderLength; i += 2) {
    sum = static_cast<uint16_t>(sum + (fv[i] | fv[i + 1] << 8));
  }
  const uint16_t checksum = static_cast<uint16_t>(0x10000 - sum);
  std::memcpy(fv.data() + offsetof(EFI_FIRMWARE_VOLUME_HEADER, Checksum), &checksum, 2);
  std::copy(contents.begin(), contents.end(), fv.begin() + kHeaderLength);
  return fv;
}

namespace {
// The keys a manifest may hold, at the top and in each entry of "files".
const std::initializer_list<std::string_view> kManifestKeys = {"files", "size", "base"};
const std::initializer_list<std::string_view> kManifestFileKeys = {"guid", "path", "type"};

void RequireManifestKeys(const json &object, const std::string &at,
                         std::initializer_list<std::string_view> known) {
  std::string list;
  for (std::string_view k : known) {
    list += (list.empty() ? "" : ", ") + std::string(k);
  }
  for (const auto &[key, value] : object.items()) {
    bool found = false;
    for (std::string_view k : known) {
      found = found || k == key;
    }
    if (!found) {
      throw FvBuildError(at + "key '" + key + "' is not a manifest key (known: " + list + ")");
    }
  }
}

// A non-negative integer, a JSON number or a decimal or "0x..." string; nullopt for anything else.
std::optional<uint64_t> ManifestInteger(const json &v) {
  if (v.is_number_unsigned()) {
    return v.get<uint64_t>();
  }
  if (!v.is_string() || v.get<std::string>().empty() ||
      !std::isdigit(static_cast<unsigned char>(v.get<std::string>()[0]))) {
    return std::nullopt;
  }
  try {
    size_t used = 0;
    const uint64_t n = std::stoull(v.get<std::string>(), &used, 0);
    return used == v.get<std::string>().size() ? std::optional<uint64_t>(n) : std::nullopt;
  } catch (const std::logic_error &) { // invalid_argument, out_of_range
    return std::nullopt;
  }
}

uint64_t VolumeSize(const json &s, const std::string &where) {
  const std::optional<uint64_t> size = ManifestInteger(s);
  if (!size || *size % kFvBlockSize != 0 || *size > kFvMaxSize) {
    throw FvBuildError(where + ": \"size\" must be 0 (as small as the files allow) or a " +
                       "multiple of " + std::to_string(kFvBlockSize) + " up to " +
                       std::to_string(kFvMaxSize) + " bytes, got " + s.dump());
  }
  return *size;
}

// The volume's flash address: block-aligned, in the 16 MiB below 4 GiB where the flash decodes.
uint64_t VolumeBase(const json &b, const std::string &where) {
  const std::optional<uint64_t> base = ManifestInteger(b);
  if (!base || *base % kFvBlockSize != 0 || *base < kFlashWindowBase || *base > kFlashWindowLast) {
    char range[96];
    std::snprintf(range, sizeof range, "a multiple of 0x%X from 0x%llX to 0x%llX", kFvBlockSize,
                  static_cast<unsigned long long>(kFlashWindowBase),
                  static_cast<unsigned long long>(kFlashWindowLast));
    throw FvBuildError(where + ": \"base\" must be " + range + ", got " + b.dump());
  }
  return *base;
}
} // namespace

FvManifest LoadFvManifest(const std::filesystem::path &path) {
  const std::string where = path.string();
  const InputFile text = ReadInputFile(path, kManifestFileLimit);
  if (!text.ok()) {
    throw FvBuildError(where + ": cannot read the manifest: it " + text.problem +
                       " (a manifest is a regular file of at most " +
                       ByteCountText(kManifestFileLimit) + ")");
  }
  json doc;
  try {
    doc = ParseJsonStrictly(
        std::string_view(reinterpret_cast<const char *>(text.bytes.data()), text.bytes.size()));
  } catch (const JsonInputError &e) {
    throw FvBuildError(where + ": " + (e.key.empty() ? "" : "key '" + e.key + "': ") + "expected " +
                       e.what());
  }
  if (!doc.is_object() || !doc.contains("files") || !doc["files"].is_array()) {
    throw FvBuildError(where + ": expected an object with a \"files\" list");
  }
  RequireManifestKeys(doc, where + ": ", kManifestKeys);
  if (doc["files"].size() > kFvMaxFiles) {
    throw FvBuildError(where + ": \"files\" lists " + std::to_string(doc["files"].size()) +
                       " files, more than the limit of " + std::to_string(kFvMaxFiles));
  }
  FvManifest manifest;
  if (doc.contains("size")) {
    manifest.size = VolumeSize(doc["size"], where);
  }
  if (doc.contains("base")) {
    manifest.base = VolumeBase(doc["base"], where);
  }
  const std::filesystem::path dir = path.parent_path();
  uint64_t total = 0;
  for (size_t i = 0; i < doc["files"].size(); ++i) {
    const json &f = doc["files"][i];
    const std::string at = where + ": files[" + std::to_string(i) + "]";
    if (!f.is_object() || !f.contains("guid") || !f["guid"].is_string() || !f.contains("path") ||
        !f["path"].is_string()) {
      throw FvBuildError(at + ": expected {\"guid\": \"...\", \"path\": \"...\"}");
    }
    RequireManifestKeys(f, at + ": ", kManifestFileKeys);
    FvFileSpec spec;
    if (!ParseGuid(f["guid"].get<std::string>(), &spec.name)) {
      throw FvBuildError(at + ": \"" + f["guid"].get<std::string>() + "\" is not a GUID");
    }
    if (f.contains("type")) {
      const json &t = f["type"];
      if (t == "freeform") {
        spec.type = EFI_FV_FILETYPE_FREEFORM;
      } else if (t == "raw") {
        spec.type = EFI_FV_FILETYPE_RAW;
      } else if (t == "peim") {
        spec.type = EFI_FV_FILETYPE_PEIM;
      } else if (t.is_number_unsigned() && t.get<uint64_t>() >= 1 && t.get<uint64_t>() <= 0xFF &&
                 t.get<uint64_t>() != EFI_FV_FILETYPE_FFS_PAD) {
        spec.type = static_cast<uint8_t>(t.get<uint64_t>());
      } else {
        throw FvBuildError(at +
                           ": \"type\" must be \"freeform\", \"raw\", \"peim\" or a file type " +
                           "number from 1 to 255 other than 240 (pad), got " + t.dump());
      }
    }
    const std::filesystem::path file = dir / f["path"].get<std::string>();
    spec.source = file.string();
    InputFile data = ReadInputFile(file, kFvMaxSize);
    if (!data.ok()) {
      throw FvBuildError(at + ".path: cannot read " + file.string() + ": it " + data.problem +
                         " (a packed file is a regular file of at most " +
                         std::to_string(kFvMaxSize) + " bytes)");
    }
    // Files that together cannot fit one volume are refused before more are read.
    total += data.bytes.size();
    if (total > kFvMaxSize) {
      throw FvBuildError(at + ": the files up to here hold " + std::to_string(total) +
                         " bytes, more than a volume of at most " + std::to_string(kFvMaxSize) +
                         " bytes can hold");
    }
    spec.data = std::move(data.bytes);
    manifest.files.push_back(std::move(spec));
  }
  return manifest;
}

std::vector<uint8_t> PackManifest(const std::filesystem::path &manifest) {
  return BuildFirmwareVolume(LoadFvManifest(manifest));
}

} // namespace sim
