#include "sim/core/efi_status_names.h"

#include <cstdio>

namespace sim {

namespace {
struct Named {
  const char *name;
  EFI_STATUS status;
};
constexpr Named kNames[] = {
    {"EFI_SUCCESS", EFI_SUCCESS},
    {"EFI_LOAD_ERROR", EFI_LOAD_ERROR},
    {"EFI_INVALID_PARAMETER", EFI_INVALID_PARAMETER},
    {"EFI_UNSUPPORTED", EFI_UNSUPPORTED},
    {"EFI_BAD_BUFFER_SIZE", EFI_BAD_BUFFER_SIZE},
    {"EFI_BUFFER_TOO_SMALL", EFI_BUFFER_TOO_SMALL},
    {"EFI_NOT_READY", EFI_NOT_READY},
    {"EFI_DEVICE_ERROR", EFI_DEVICE_ERROR},
    {"EFI_WRITE_PROTECTED", EFI_WRITE_PROTECTED},
    {"EFI_OUT_OF_RESOURCES", EFI_OUT_OF_RESOURCES},
    {"EFI_NOT_FOUND", EFI_NOT_FOUND},
    {"EFI_TIMEOUT", EFI_TIMEOUT},
    {"EFI_ABORTED", EFI_ABORTED},
};
} // namespace

std::string EfiStatusName(EFI_STATUS status) {
  for (const Named &n : kNames) {
    if (n.status == status) {
      return n.name;
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(status));
  return text;
}

std::optional<EFI_STATUS> EfiStatusFromName(const std::string &name) {
  for (const Named &n : kNames) {
    if (name == n.name) {
      return n.status;
    }
  }
  return std::nullopt;
}

} // namespace sim
