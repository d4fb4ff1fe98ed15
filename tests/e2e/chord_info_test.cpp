// `norvo-probe info` on Chord.vst3: the factory, both classes with every field, the two event
// buses and the four parameters as a host sees them (the moduleinfo.json that follows them is
// checked by module_info_test.cpp).
#include "support/e2e/probe_runner.h"

#include <gtest/gtest.h>

#include <sstream>

namespace norvo::e2e {
namespace {

const std::string kProbe = NORVO_PROBE_PATH;
const std::string kBundle = NORVO_BUNDLE_PATH;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// The listing without the lines that carry values the plug-in may choose (ids, url, email).
std::string withoutFreeFields(const std::string& text) {
  std::string out;
  for (const std::string& line : lines(text)) {
    if (line.rfind("  cid: ", 0) == 0 || line.rfind("  url: ", 0) == 0 ||
        line.rfind("  email: ", 0) == 0)
      continue;
    out += line + "\n";
  }
  return out;
}

// The listing up to the bundle's moduleinfo.json.
std::string beforeModuleInfo(const std::string& text) {
  const size_t at = text.find("\nmoduleinfo.json\n");
  return at == std::string::npos ? text : text.substr(0, at + 1);
}

TEST(ChordInfo, ListsFactoryClassesBusesAndParameters) {
  const CommandResult r = runCommand({kProbe, "info", kBundle});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string want =
      "factory\n"
      "  vendor: \"Norvo Music\"\n"
      "  flags: 16\n"
      "classes 2\n"
      "class 0\n"
      "  cardinality: 2147483647\n"
      "  category: \"Audio Module Class\"\n"
      "  name: \"Chord\"\n"
      "  class flags: 1\n"
      "  sub-categories: \"Fx\"\n"
      "  vendor: \"\"\n"
      "  version: \"0.1.0\"\n"
      "  sdk version: \"VST 3.8.1\"\n"
      "class 1\n"
      "  cardinality: 2147483647\n"
      "  category: \"Component Controller Class\"\n"
      "  name: \"Chord Controller\"\n"
      "  class flags: 0\n"
      "  sub-categories: \"\"\n"
      "  vendor: \"\"\n"
      "  version: \"0.1.0\"\n"
      "  sdk version: \"VST 3.8.1\"\n"
      "buses 2\n"
      "  event input 0: \"Event In\", channels 1, main, flags 1\n"
      "  event output 0: \"Event Out\", channels 1, main, flags 1\n"
      "parameters 4\n"
      "  id 0: \"On\", short \"On\", units \"\", default 1, steps 0, unit 0, flags 1\n"
      "  id 1: \"Mode\", short \"Mode\", units \"\", default 0, steps 0, unit 0, flags 1\n"
      "  id 2: \"Spread\", short \"Spread\", units \"\", default 0.5, steps 0, unit 0, flags 1\n"
      "  id 3: \"Velocity\", short \"Velocity\", units \"\", default 0.8, steps 0, unit 0, flags "
      "1\n";
  EXPECT_EQ(withoutFreeFields(beforeModuleInfo(r.out)), want);
}

TEST(ChordInfo, ClassIdsAreFixedAndDistinct) {
  const CommandResult first = runCommand({kProbe, "info", kBundle});
  const CommandResult second = runCommand({kProbe, "info", kBundle});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  std::vector<std::string> ids;
  for (const std::string& line : lines(first.out))
    if (line.rfind("  cid: ", 0) == 0) ids.push_back(line.substr(7));
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_NE(ids[0], ids[1]);
  EXPECT_EQ(ids[0].size(), 32u);
  EXPECT_NE(ids[0], std::string(32, '0'));
  EXPECT_EQ(first.out, second.out);
}

}  // namespace
}  // namespace norvo::e2e
