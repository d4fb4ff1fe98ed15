// The manifest scanner and reading the manifest file.
#include "editor/ui_bundle_facts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

namespace norvo {
namespace {

struct ScanCase {
  const char* name;
  std::string text;
  const char* key;
  std::size_t capacity;
  const char* expected;
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class UiManifestStringTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(UiManifestStringTest, FindsOnlyTopLevelStringMembers) {
  const ScanCase& c = GetParam();
  char out[128];
  std::memset(out, 'x', sizeof out);
  const bool found = uiManifestString(c.text, c.key, out, c.capacity);
  EXPECT_STREQ(out, c.expected);
  EXPECT_EQ(found, c.expected[0] != '\0');
}

const std::string kSha = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

INSTANTIATE_TEST_SUITE_P(
    Cases, UiManifestStringTest,
    ::testing::Values(
        ScanCase{"plain", R"({"buildTime":"2026-12-07T10:00:00Z"})", "buildTime", 64,
                 "2026-12-07T10:00:00Z"},
        ScanCase{"spaces", "{ \"buildTime\" \t:\n \"x y\" }", "buildTime", 64, "x y"},
        ScanCase{"nested", R"({"meta":{"buildTime":"inner"}})", "buildTime", 64, ""},
        ScanCase{"nestedInArray", R"({"list":[{"buildTime":"inner"}],"sha256":"top"})", "buildTime",
                 64, ""},
        ScanCase{"afterNested", R"({"meta":{"buildTime":"inner"},"buildTime":"outer"})",
                 "buildTime", 64, "outer"},
        ScanCase{"sha256", "{\"sha256\":\"" + kSha + "\"}", "sha256", 80, kSha.c_str()},
        ScanCase{"firstMatchOnly", R"({"buildTime":"one","buildTime":"two"})", "buildTime", 64,
                 "one"},
        ScanCase{"keyAsValue", R"({"name":"buildTime","buildTime":"real"})", "buildTime", 64,
                 "real"},
        ScanCase{"keyInsideOtherString", R"({"x":"\"buildTime\":\"fake\"","buildTime":"real"})",
                 "buildTime", 64, "real"},
        ScanCase{"escapedQuoteCuts", R"({"sourceRevision":"abc\"def"})", "sourceRevision", 64,
                 "abc"},
        ScanCase{"leadingEscape", R"({"sourceRevision":"\u0041"})", "sourceRevision", 64, ""},
        ScanCase{"numberValueEndsScan", R"({"buildTime":5,"buildTime":"later"})", "buildTime", 64,
                 ""},
        ScanCase{"unterminatedValue", R"({"buildTime":"abc)", "buildTime", 64, ""},
        ScanCase{"longest", "{\"buildTime\":\"" + std::string(62, 'a') + "\"}", "buildTime", 64,
                 "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
        ScanCase{"tooLong", "{\"buildTime\":\"" + std::string(63, 'a') + "\"}", "buildTime", 64,
                 ""},
        ScanCase{"afterTopLevelCloses", R"({"a":1} {"buildTime":"second"})", "buildTime", 64, ""},
        ScanCase{"notAnObject", R"(["buildTime","x"])", "buildTime", 64, ""},
        ScanCase{"prefixKey", R"({"buildTimeX":"no","buildTime":"yes"})", "buildTime", 64, "yes"},
        ScanCase{"emptyText", "", "buildTime", 64, ""}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.name); });

class ManifestFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("norvo-manifest-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write(const std::string& text) {
    const std::filesystem::path path = dir_ / "manifest.json";
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  static std::string padded(std::size_t total) {
    std::string text = "{\"buildTime\":\"b\",\"sourceRevision\":\"r\",\"sha256\":\"s\",\"pad\":\"";
    text.append(total - text.size() - 2, ' ');
    text += "\"}";
    return text;
  }

  std::filesystem::path dir_;
};

TEST_F(ManifestFileTest, ReadsTheThreeFacts) {
  const UiBundleFacts facts = readUiBundleFactsFromFile(
      write(R"({"sha256":"abc","buildTime":"2026-12-07","sourceRevision":"r1","x":{}})"));
  EXPECT_STREQ(facts.buildTime, "2026-12-07");
  EXPECT_STREQ(facts.sourceRevision, "r1");
  EXPECT_STREQ(facts.sha256, "abc");
  EXPECT_FALSE(facts.empty());
}

TEST_F(ManifestFileTest, OneMebibyteIsReadOneByteMoreIsDiscarded) {
  const std::string exact = padded(kUiManifestMaxBytes);
  ASSERT_EQ(exact.size(), 1048576u);
  UiBundleFacts facts = readUiBundleFactsFromFile(write(exact));
  EXPECT_STREQ(facts.buildTime, "b");
  EXPECT_STREQ(facts.sourceRevision, "r");
  EXPECT_STREQ(facts.sha256, "s");

  const std::string over = padded(kUiManifestMaxBytes + 1);
  ASSERT_EQ(over.size(), 1048577u);
  facts = readUiBundleFactsFromFile(write(over));
  EXPECT_TRUE(facts.empty());
}

TEST_F(ManifestFileTest, MissingFileGivesEmptyFacts) {
  EXPECT_TRUE(readUiBundleFactsFromFile((dir_ / "absent.json").string()).empty());
  EXPECT_TRUE(readUiBundleFactsFromFile("").empty());
  EXPECT_TRUE(readUiBundleFactsFromFile(dir_.string()).empty()) << "a folder is no manifest";
}

}  // namespace
}  // namespace norvo
