// Running the project's tools as a user would, for the CLI tests: the exit code and everything
// printed, and scratch files of each kind a tool must refuse to read.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace test {

struct CliRun {
  int exit_code;
  std::string output; // stdout and stderr
  bool Says(const std::string &text) const { return output.find(text) != std::string::npos; }
};

// Runs `tool args` through the shell, capturing both streams; a bounded run (timeout) so that a
// tool that hangs fails the test instead of stalling it.
inline CliRun RunTool(const std::string &tool, const std::string &args) {
  const std::string command = "timeout 60 " + tool + " " + args + " 2>&1";
  FILE *pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    out.append(buffer, n);
  }
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

inline std::filesystem::path FreshDir(const std::string &name) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// An empty directory of the running test's own: `prefix`, the test's name and the process.
inline std::filesystem::path FreshTestDir(const std::string &prefix) {
  return FreshDir(prefix + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

// Paths no tool may read as a file: a directory, a FIFO nobody writes (reading would wait
// forever), an endless device, a missing file, and a sparse file one byte over `limit`.
struct BadPaths {
  explicit BadPaths(const std::filesystem::path &dir, uint64_t limit)
      : directory(dir / "a_directory"), fifo(dir / "a_fifo"), missing(dir / "missing.file"),
        oversized(dir / "oversized.file") {
    std::filesystem::create_directories(directory);
    ::mkfifo(fifo.c_str(), 0600);
    std::ofstream(oversized).close();
    std::filesystem::resize_file(oversized, limit + 1);
  }
  const std::filesystem::path directory, fifo, endless = "/dev/zero", missing, oversized;
  // Each with the words its message must contain.
  std::vector<std::pair<std::filesystem::path, std::string>> All() const {
    return {{directory, "directory"},
            {fifo, "FIFO"},
            {endless, "character device"},
            {missing, "does not exist"},
            {oversized, "larger than the limit"}};
  }
};

} // namespace test
