// The kernel trace file. NORVO_KERNEL_TRACE is read once per process, so every case runs the
// engine in a fresh child process; this binary's own process never touches the engine.
#include "engine/kernel_trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include <unistd.h>

#include "engine/kernel_engine.h"
#include "support/engine/child_process.h"

namespace norvo {
namespace {

namespace fs = std::filesystem;
using test::readWholeFile;
using test::runInChildProcess;

class KernelTrace : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/norvo-trace-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const char* name) const { return (dir_ / name).string(); }

  // Replaces the engine address of every line by "E" after checking they all carry the same
  // one; an empty result means the lines disagree.
  static std::string withoutAddress(const std::string& trace) {
    std::smatch match;
    if (!std::regex_search(trace, match, std::regex("this=(0x[0-9a-f]+) "))) return "";
    const std::string address = match[1].str();
    std::string out = std::regex_replace(trace, std::regex("this=" + address + " "), "this=E ");
    if (out.find("this=0x") != std::string::npos) return "";
    return out;
  }

  fs::path dir_;
};

TEST_F(KernelTrace, RecordsSetupChunksEventsAndParameters) {
  const std::string trace = path("kernel.trace");
  const int rc = runInChildProcess([&] {
    setenv("NORVO_KERNEL_TRACE", trace.c_str(), 1);
    KernelEngine engine;
    if (!engine.setup(44100.5, 512)) return 2;
    engine.setParamValue(3, 0.1);
    engine.pushParamNormalized(1, 0, 0.4);
    engine.pushNoteOn(60, 0.5, 200, 0, 0);
    engine.pushController(7, 100, 130, 0, 0);
    engine.pushNoteOff(60, 290, 0, 0);
    engine.pushNoteOff(300, 20, 0, 0);  // refused by the kernel
    engine.processBlock(nullptr, 0, nullptr, 0, 300);
    engine.processBlock(nullptr, 0, nullptr, 0, 64);
    return 0;  // _exit: only what the engine flushed is in the file
  });
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(withoutAddress(readWholeFile(trace)),
            "S this=E rate=44100.5 kernelRate=44100.5 handle=1\n"
            "B this=E blk=1 off=0 chunk=128 frames=300 events=5\n"
            "E this=E blk=1 frame=0 kind=1 a=3 value=0.10000000000000001 src=republish status=0\n"
            "E this=E blk=1 frame=0 kind=1 a=1 value=2 src=queue status=0\n"
            "E this=E blk=1 frame=20 kind=3 a=300 value=0 src=queue status=2\n"
            "B this=E blk=1 off=128 chunk=128 frames=300 events=5\n"
            "E this=E blk=1 frame=2 kind=0 a=0 value=100 src=queue status=-1\n"
            "E this=E blk=1 frame=72 kind=2 a=60 value=0.5 src=queue status=0\n"
            "B this=E blk=1 off=256 chunk=44 frames=300 events=5\n"
            "E this=E blk=1 frame=34 kind=3 a=60 value=0 src=queue status=0\n"
            "B this=E blk=2 off=0 chunk=64 frames=64 events=0\n");
}

TEST_F(KernelTrace, BurstChunkShowsFramesWithinTheChunk) {
  // More events at one frame than the kernel takes per call: still one "B" line for the chunk,
  // every event line with its frame within the chunk.
  const std::string trace = path("burst.trace");
  const int rc = runInChildProcess([&] {
    setenv("NORVO_KERNEL_TRACE", trace.c_str(), 1);
    KernelEngine engine;
    if (!engine.setup(48000, 256)) return 2;
    engine.setParamValue(2, 1);
    for (int n = 0; n < 66; ++n) engine.pushNoteOff(n, 130, 0, 0);
    engine.processBlock(nullptr, 0, nullptr, 0, 200);
    return 0;
  });
  ASSERT_EQ(rc, 0);
  std::string expected =
      "S this=E rate=48000 kernelRate=48000 handle=1\n"
      "B this=E blk=1 off=0 chunk=128 frames=200 events=66\n"
      "E this=E blk=1 frame=0 kind=1 a=2 value=1 src=republish status=0\n"
      "B this=E blk=1 off=128 chunk=72 frames=200 events=66\n";
  for (int n = 0; n < 66; ++n) {
    expected +=
        "E this=E blk=1 frame=2 kind=3 a=" + std::to_string(n) + " value=0 src=queue status=0\n";
  }
  EXPECT_EQ(withoutAddress(readWholeFile(trace)), expected);
}

TEST_F(KernelTrace, AppendsAndReadsTheVariableOncePerProcess) {
  const std::string first = path("first.trace");
  const std::string second = path("second.trace");
  {
    std::FILE* f = std::fopen(first.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("earlier run\n", f);
    std::fclose(f);
  }
  const int rc = runInChildProcess([&] {
    setenv("NORVO_KERNEL_TRACE", first.c_str(), 1);
    KernelEngine a;
    if (!a.setup(48000, 64)) return 2;
    setenv("NORVO_KERNEL_TRACE", second.c_str(), 1);
    KernelEngine b;
    if (!b.setup(48000, 64)) return 3;
    return 0;
  });
  ASSERT_EQ(rc, 0);
  const std::string text = readWholeFile(first);
  EXPECT_EQ(text.rfind("earlier run\nS this=0x", 0), 0u) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
  EXPECT_NE(text.find(" handle=2\n"), std::string::npos) << text;
  EXPECT_FALSE(fs::exists(second));
}

TEST_F(KernelTrace, BlockNumbersAreSharedByAllEnginesOfTheProcess) {
  const std::string trace = path("shared.trace");
  const int rc = runInChildProcess([&] {
    setenv("NORVO_KERNEL_TRACE", trace.c_str(), 1);
    KernelEngine a;
    KernelEngine b;
    if (!a.setup(48000, 256) || !b.setup(48000, 256)) return 2;
    a.processBlock(nullptr, 0, nullptr, 0, 200);
    b.processBlock(nullptr, 0, nullptr, 0, 10);
    a.processBlock(nullptr, 0, nullptr, 0, 0);  // a parameter flush is not a traced block
    a.processBlock(nullptr, 0, nullptr, 0, 10);
    return 0;
  });
  ASSERT_EQ(rc, 0);
  const std::string text = readWholeFile(trace);
  std::string blocks;
  const std::regex line("(?:^|\n)B this=0x[0-9a-f]+ (blk=\\d+ off=\\d+)");
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
    blocks += (*it)[1].str() + ";";
  }
  EXPECT_EQ(blocks, "blk=1 off=0;blk=1 off=128;blk=2 off=0;blk=3 off=0;");
}

TEST_F(KernelTrace, UnsetOrEmptyVariableCreatesNoFile) {
  for (const char* value : {static_cast<const char*>(nullptr), ""}) {
    SCOPED_TRACE(value == nullptr ? "unset" : "empty");
    const fs::path work = dir_ / (value == nullptr ? "unset" : "empty");
    fs::create_directory(work);
    const int rc = runInChildProcess([&] {
      if (chdir(work.c_str()) != 0) return 4;
      if (value == nullptr) {
        unsetenv("NORVO_KERNEL_TRACE");
      } else {
        setenv("NORVO_KERNEL_TRACE", value, 1);
      }
      KernelEngine engine;
      if (!engine.setup(48000, 512)) return 2;
      engine.pushNoteOn(60, 1.0, 0, 0, 0);
      engine.processBlock(nullptr, 0, nullptr, 0, 300);
      return kernelTraceFile() == nullptr ? 0 : 3;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(fs::is_empty(work));
  }
}

TEST_F(KernelTrace, UnopenablePathTurnsTracingOffSilently) {
  const std::string trace = path("missing-folder/kernel.trace");
  const int rc = runInChildProcess([&] {
    setenv("NORVO_KERNEL_TRACE", trace.c_str(), 1);
    KernelEngine engine;
    if (!engine.setup(48000, 512)) return 2;
    engine.pushNoteOn(60, 1.0, 0, 0, 0);
    engine.processBlock(nullptr, 0, nullptr, 0, 64);
    return engine.midiOutCount() == 2 && kernelTraceFile() == nullptr ? 0 : 3;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_FALSE(fs::exists(trace));
}

}  // namespace
}  // namespace norvo
