#include "sim/smm/smram_pool.h"

#include <cstring>

namespace sim {

SmramPool::SmramPool() : arena_(kArenaBytes / sizeof(uint64_t), 0) {}

EFI_STATUS SmramPool::Allocate(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer) {
  if (buffer == nullptr || type > EfiRuntimeServicesData) {
    return EFI_INVALID_PARAMETER;
  }
  const size_t rounded = (size + kAlignment - 1) / kAlignment * kAlignment;
  if (fail_allocations || size == 0 || rounded > ArenaSize() - next_) {
    ++counts_.failed;
    return EFI_OUT_OF_RESOURCES;
  }
  uint8_t *at = reinterpret_cast<uint8_t *>(arena_.data()) + next_;
  std::memset(at, 0xAF, size); // pool is not zeroed: a caller must not rely on it
  next_ += rounded;
  live_[reinterpret_cast<uintptr_t>(at)] = size;
  ++counts_.allocated;
  *buffer = at;
  return EFI_SUCCESS;
}

EFI_STATUS SmramPool::Free(VOID *buffer) {
  auto it = live_.find(reinterpret_cast<uintptr_t>(buffer));
  if (it == live_.end()) {
    ++counts_.bad_frees;
    return EFI_INVALID_PARAMETER;
  }
  live_.erase(it); // the bump arena does not reuse memory, so a stale pointer stays detectable
  ++counts_.freed;
  return EFI_SUCCESS;
}

bool SmramPool::Live(const VOID *buffer) const {
  return live_.count(reinterpret_cast<uintptr_t>(buffer)) != 0;
}

} // namespace sim
