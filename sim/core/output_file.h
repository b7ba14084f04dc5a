// Writing the files a tool produces (report, trace, screenshots, volumes) so that a failure is
// never silent: every write and the final close are checked, and a path that would block (a FIFO
// with no reader) or is not a file is refused up front. The message names the file and the reason.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace sim {

// Empty when `file` may be written: absent, a regular file, or a device such as /dev/null;
// otherwise why not ("is a directory", "is a FIFO").
std::string OutputPathProblem(const std::filesystem::path &file);

// Writes `bytes` to `file`, replacing it. On failure returns false with "FILE: reason" in `error`.
bool WriteOutputFile(const std::filesystem::path &file, const std::string &bytes,
                     std::string *error);
bool WriteOutputFile(const std::filesystem::path &file, const std::vector<uint8_t> &bytes,
                     std::string *error);

// An output written as it is produced (the trace): opened at once, checked when finished.
class OutputStream {
public:
  // Opens `file`; check Error() before use.
  explicit OutputStream(const std::filesystem::path &file);
  std::ostream &Stream() { return out_; }
  // Flushes and closes; returns "FILE: reason" when any write failed, else empty.
  std::string Finish();
  const std::string &Error() const { return error_; }

private:
  std::filesystem::path file_;
  std::ofstream out_;
  std::string error_;
};

} // namespace sim
