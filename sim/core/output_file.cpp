#include "sim/core/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace sim {

std::string OutputPathProblem(const std::filesystem::path &file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    return {}; // created by the write; a missing directory shows there
  }
  if (S_ISDIR(st.st_mode)) {
    return "is a directory";
  }
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
    return "is a FIFO or socket, which would wait for a reader";
  }
  return {};
}

namespace {
bool Write(const std::filesystem::path &file, const void *data, size_t size, std::string *error) {
  if (const std::string problem = OutputPathProblem(file); !problem.empty()) {
    *error = file.string() + ": " + problem;
    return false;
  }
  FILE *out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) {
    *error = file.string() + ": cannot be created: " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(data, 1, size, out) == size && std::fflush(out) == 0;
  const int writeErrno = errno;
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed) {
    *error = file.string() + ": cannot be written: " + std::strerror(written ? errno : writeErrno);
    return false;
  }
  return true;
}
} // namespace

bool WriteOutputFile(const std::filesystem::path &file, const std::string &bytes,
                     std::string *error) {
  return Write(file, bytes.data(), bytes.size(), error);
}

bool WriteOutputFile(const std::filesystem::path &file, const std::vector<uint8_t> &bytes,
                     std::string *error) {
  return Write(file, bytes.data(), bytes.size(), error);
}

OutputStream::OutputStream(const std::filesystem::path &file) : file_(file) {
  if (const std::string problem = OutputPathProblem(file); !problem.empty()) {
    error_ = file.string() + ": " + problem;
    return;
  }
  out_.open(file, std::ios::binary | std::ios::trunc);
  if (!out_) {
    error_ = file.string() + ": cannot be created: " + std::strerror(errno);
  }
}

std::string OutputStream::Finish() {
  if (!error_.empty()) {
    return error_;
  }
  out_.flush();
  const bool flushed = out_.good();
  out_.close();
  if (!flushed || out_.fail()) {
    error_ = file_.string() + ": cannot be written (" + std::strerror(errno) + ")";
  }
  return error_;
}

} // namespace sim
