#include "sim/core/page_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

namespace sim {
namespace {

// One file per fill value other than zero, holding that value; grown to the largest size asked.
struct FillTemplate {
  int fd = -1;
  uint64_t size = 0;
};

std::mutex template_mutex;
std::array<FillTemplate, 256> templates;

int TemplateFor(uint8_t fill, uint64_t size) {
  std::lock_guard<std::mutex> lock(template_mutex);
  FillTemplate &t = templates[fill];
  if (t.fd < 0) {
    t.fd = memfd_create("sim-fill", MFD_CLOEXEC);
    if (t.fd < 0) {
      throw std::system_error(errno, std::generic_category(), "memfd_create");
    }
  }
  if (size > t.size) {
    const std::vector<uint8_t> chunk(1u << 20, fill);
    for (uint64_t at = t.size; at < size; at += chunk.size()) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - at));
      if (pwrite(t.fd, chunk.data(), n, static_cast<off_t>(at)) != static_cast<ssize_t>(n)) {
        throw std::system_error(errno, std::generic_category(), "filling a memory template");
      }
    }
    t.size = size;
  }
  return t.fd;
}

} // namespace

PageMemory::PageMemory(uint64_t size, uint8_t fill) : size_(size), fill_(fill) { Map(false); }

PageMemory::~PageMemory() {
  if (data_ != nullptr) {
    munmap(data_, size_);
  }
}

void PageMemory::Refill() { Map(true); }

void PageMemory::Map(bool fixed) {
  if (size_ == 0) {
    return;
  }
  const int flags = MAP_PRIVATE | MAP_NORESERVE | (fixed ? MAP_FIXED : 0);
  void *at = fixed ? data_ : nullptr;
  void *mapped = fill_ == 0
                     ? mmap(at, size_, PROT_READ | PROT_WRITE, flags | MAP_ANONYMOUS, -1, 0)
                     : mmap(at, size_, PROT_READ | PROT_WRITE, flags, TemplateFor(fill_, size_), 0);
  if (mapped == MAP_FAILED) {
    throw std::bad_alloc();
  }
  data_ = static_cast<uint8_t *>(mapped);
}

} // namespace sim
