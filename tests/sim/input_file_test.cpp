// Reading untrusted input files and JSON: each kind of path a tool must refuse, the size limit
// at its edge, and the strict JSON reader's errors with the path of the offending key.
#include <gtest/gtest.h>

#include "sim/core/input_file.h"
#include "sim/core/json_input.h"
#include "sim/core/output_file.h"
#include "tests/sim/cli_run.h"

namespace {

TEST(InputFile, RefusesEveryPathThatIsNotABoundedRegularFile) {
  const auto dir = test::FreshDir("input_file");
  const test::BadPaths bad(dir, 4096);
  for (const auto &[path, words] : bad.All()) {
    const sim::InputFile in = sim::ReadInputFile(path, 4096);
    EXPECT_FALSE(in.ok()) << path;
    EXPECT_NE(in.problem.find(words), std::string::npos) << path << ": " << in.problem;
    EXPECT_TRUE(in.bytes.empty());
  }
  std::filesystem::resize_file(bad.oversized, 4096);
  const sim::InputFile atLimit = sim::ReadInputFile(bad.oversized, 4096);
  EXPECT_TRUE(atLimit.ok()) << atLimit.problem;
  EXPECT_EQ(atLimit.bytes.size(), 4096u);
  std::filesystem::remove_all(dir);
}

TEST(InputFile, AFileLargerThanItsReportedSizeStillStopsAtTheLimit) {
  // /proc files report a size of 0 and hold more: the read must end at the limit.
  const sim::InputFile in = sim::ReadInputFile("/proc/self/maps", 16);
  EXPECT_FALSE(in.ok());
  EXPECT_NE(in.problem.find("larger than the limit of 16 bytes"), std::string::npos) << in.problem;
}

TEST(InputFile, LimitsReadAsPeopleWriteThem) {
  EXPECT_EQ(sim::ByteCountText(1u << 20), "1 MiB");
  EXPECT_EQ(sim::ByteCountText(16u << 20), "16 MiB");
  EXPECT_EQ(sim::ByteCountText(4096), "4 KiB");
  EXPECT_EQ(sim::ByteCountText(4097), "4097 bytes");
}

std::string JsonError(const std::string &text, std::string *key = nullptr) {
  try {
    sim::ParseJsonStrictly(text);
  } catch (const sim::JsonInputError &e) {
    if (key) {
      *key = e.key;
    }
    return e.what();
  }
  return "(no error)";
}

TEST(StrictJson, KeysGivenTwiceAreErrorsWithTheirPath) {
  std::string key;
  EXPECT_NE(JsonError(R"({"a": 1, "a": 2})", &key).find("given twice"), std::string::npos);
  EXPECT_EQ(key, "a");
  JsonError(R"({"a": [1, {"b": 1}, {"c": 1, "c": 2}]})", &key);
  EXPECT_EQ(key, "a[2].c");
  JsonError(R"([[0, 0], {"x": {"y": 1, "y": 1}}])", &key);
  EXPECT_EQ(key, "[1].x.y");
  // The same key in sibling objects is not a repeat.
  EXPECT_EQ(JsonError(R"({"a": {"k": 1}, "b": {"k": 1}, "c": [{"k": 1}, {"k": 2}]})"),
            "(no error)");
}

TEST(StrictJson, DepthAndNumberRangeAreBounded) {
  const int depth = sim::kJsonMaxDepth;
  EXPECT_EQ(JsonError(std::string(depth, '[') + std::string(depth, ']')), "(no error)");
  EXPECT_NE(JsonError(std::string(depth + 1, '[') + std::string(depth + 1, ']'))
                .find("levels of nesting"),
            std::string::npos);
  // Deep enough to overflow a recursive reader's stack.
  EXPECT_NE(JsonError(std::string(200000, '[')).find("levels of nesting"), std::string::npos);
  std::string key = "unset";
  EXPECT_NE(JsonError("[1e400]", &key).find("valid JSON"), std::string::npos);
  EXPECT_EQ(key, "");
  EXPECT_NE(JsonError("{\"a\": }").find("valid JSON"), std::string::npos);
}

TEST(OutputFile, FailuresNameTheFile) {
  const auto dir = test::FreshDir("output_file");
  std::string error;
  EXPECT_TRUE(sim::WriteOutputFile(dir / "ok.bin", std::string("abc"), &error)) << error;
  EXPECT_FALSE(sim::WriteOutputFile(dir, std::string("abc"), &error));
  EXPECT_NE(error.find(dir.string() + ": is a directory"), std::string::npos) << error;
  EXPECT_FALSE(sim::WriteOutputFile("/dev/full", std::string("abc"), &error));
  EXPECT_NE(error.find("/dev/full: cannot be written"), std::string::npos) << error;
  ::mkfifo((dir / "fifo").c_str(), 0600);
  EXPECT_FALSE(sim::WriteOutputFile(dir / "fifo", std::string("abc"), &error)); // never waits
  EXPECT_FALSE(sim::WriteOutputFile(dir / "no" / "such" / "dir.bin", std::string("a"), &error));

  sim::OutputStream stream("/dev/full");
  ASSERT_EQ(stream.Error(), "");
  stream.Stream() << std::string(100000, 'x');
  EXPECT_NE(stream.Finish().find("/dev/full: cannot be written"), std::string::npos);
  std::filesystem::remove_all(dir);
}

} // namespace
