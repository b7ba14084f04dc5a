#include "sim/core/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

namespace {
std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) {
    return "is a directory, not a file";
  }
  if (S_ISFIFO(mode)) {
    return "is a FIFO (named pipe), not a regular file";
  }
  if (S_ISCHR(mode)) {
    return "is a character device, not a regular file";
  }
  if (S_ISBLK(mode)) {
    return "is a block device, not a regular file";
  }
  if (S_ISSOCK(mode)) {
    return "is a socket, not a regular file";
  }
  return "is not a regular file";
}

// Closes the descriptor when the read is done, however it ends.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) {
      ::close(fd);
    }
  }
};
} // namespace

std::string ByteCountText(uint64_t bytes) {
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) {
    return std::to_string(bytes >> 20) + " MiB";
  }
  if (bytes >= (1u << 10) && bytes % (1u << 10) == 0) {
    return std::to_string(bytes >> 10) + " KiB";
  }
  return std::to_string(bytes) + " bytes";
}

InputFile ReadInputFile(const std::filesystem::path &file, uint64_t limit) {
  InputFile result;
  // O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
  Descriptor d{::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
  if (d.fd < 0) {
    result.problem = errno == ENOENT ? "does not exist"
                                     : std::string("cannot be opened: ") + std::strerror(errno);
    return result;
  }
  struct stat st {};
  if (::fstat(d.fd, &st) != 0) {
    result.problem = std::string("cannot be examined: ") + std::strerror(errno);
    return result;
  }
  if (!S_ISREG(st.st_mode)) {
    result.problem = KindOf(st.st_mode);
    return result;
  }
  const std::string tooLarge = "is larger than the limit of " + ByteCountText(limit);
  if (static_cast<uint64_t>(st.st_size) > limit) {
    result.problem = tooLarge + " (" + std::to_string(st.st_size) + " bytes)";
    return result;
  }
  // Read at most one byte past the limit: a file that grows, or reports a size it does not have
  // (as some /proc files do), still ends here.
  result.bytes.resize(static_cast<size_t>(st.st_size) + 1);
  size_t used = 0;
  for (;;) {
    if (used == result.bytes.size()) {
      if (used > limit) {
        result.bytes.clear();
        result.problem = tooLarge;
        return result;
      }
      result.bytes.resize(std::min<uint64_t>(limit + 1, used * 2 + 4096));
    }
    const ssize_t n = ::read(d.fd, result.bytes.data() + used, result.bytes.size() - used);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      result.bytes.clear();
      result.problem = std::string("cannot be read: ") + std::strerror(errno);
      return result;
    }
    if (n == 0) {
      break;
    }
    used += static_cast<size_t>(n);
  }
  result.bytes.resize(used);
  return result;
}

} // namespace sim
