// The moduleinfo.json writer: the documented keys in order, flags, sub-category lists, the
// module version, and texts that need escaping.
#include "tools/module_info_json.h"

#include "support/tools/flat_json.h"

#include <gtest/gtest.h>

#include <cstring>

namespace norvo::probe {
namespace {

using Steinberg::PFactoryInfo;

FactoryClass makeClass(const char* category, const char* name, const char* version,
                       unsigned char firstIdByte) {
  FactoryClass entry;
  entry.cid[0] = static_cast<char>(firstIdByte);
  entry.cid[15] = 0x7F;
  entry.cardinality = 0x7FFFFFFF;
  entry.category = category;
  entry.name = name;
  entry.hasInfo2 = true;
  entry.version = version;
  entry.sdkVersion = "VST 3.8.1";
  return entry;
}

ModuleInfoFacts twoClassModule() {
  ModuleInfoFacts facts;
  facts.name = "Chord";
  facts.version = "1.2.3";
  facts.factory = {"Vendor", "https://example.org", "mail@example.org", PFactoryInfo::kUnicode};
  facts.classes.push_back(makeClass("Audio Module Class", "Chord", "1.2.3", 0xAB));
  facts.classes.back().classFlags = 1;
  facts.classes.back().subCategories = "Fx|Instrument";
  facts.classes.push_back(makeClass("Component Controller Class", "Chord Controller", "1.2.3", 1));
  return facts;
}

TEST(ModuleInfoJson, WritesTheDocumentedKeysInOrder) {
  const std::string want =
      "{\n"
      "  \"Name\": \"Chord\",\n"
      "  \"Version\": \"1.2.3\",\n"
      "  \"Factory Info\": {\n"
      "    \"Vendor\": \"Vendor\",\n"
      "    \"URL\": \"https://example.org\",\n"
      "    \"E-Mail\": \"mail@example.org\",\n"
      "    \"Flags\": {\n"
      "      \"Unicode\": true,\n"
      "      \"Classes Discardable\": false,\n"
      "      \"Component Non Discardable\": false\n"
      "    }\n"
      "  },\n"
      "  \"Compatibility\": [],\n"
      "  \"Classes\": [\n"
      "    {\n"
      "      \"CID\": \"AB00000000000000000000000000007F\",\n"
      "      \"Category\": \"Audio Module Class\",\n"
      "      \"Name\": \"Chord\",\n"
      "      \"Vendor\": \"\",\n"
      "      \"Version\": \"1.2.3\",\n"
      "      \"SDKVersion\": \"VST 3.8.1\",\n"
      "      \"Sub Categories\": [\"Fx\", \"Instrument\"],\n"
      "      \"Class Flags\": 1,\n"
      "      \"Cardinality\": 2147483647,\n"
      "      \"Snapshots\": []\n"
      "    },\n"
      "    {\n"
      "      \"CID\": \"0100000000000000000000000000007F\",\n"
      "      \"Category\": \"Component Controller Class\",\n"
      "      \"Name\": \"Chord Controller\",\n"
      "      \"Vendor\": \"\",\n"
      "      \"Version\": \"1.2.3\",\n"
      "      \"SDKVersion\": \"VST 3.8.1\",\n"
      "      \"Sub Categories\": [],\n"
      "      \"Class Flags\": 0,\n"
      "      \"Cardinality\": 2147483647,\n"
      "      \"Snapshots\": []\n"
      "    }\n"
      "  ]\n"
      "}\n";
  EXPECT_EQ(writeModuleInfoJson(twoClassModule()), want);
}

TEST(ModuleInfoJson, FactoryFlagsBecomeTheThreeDocumentedBooleans) {
  struct Case {
    Steinberg::int32 flags;
    bool unicode, discardable, nonDiscardable;
  };
  const Case cases[] = {
      {0, false, false, false},
      {PFactoryInfo::kUnicode, true, false, false},
      {PFactoryInfo::kComponentNonDiscardable, false, false, true},
      {PFactoryInfo::kLicenseCheck, false, false, false},  // not a key of the document
      {PFactoryInfo::kUnicode | PFactoryInfo::kClassesDiscardable |
           PFactoryInfo::kComponentNonDiscardable,
       true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    ModuleInfoFacts facts = twoClassModule();
    facts.factory.flags = c.flags;
    const auto doc = test::flattenJson(writeModuleInfoJson(facts));
    ASSERT_TRUE(doc);
    const auto flag = [&](const char* key) {
      return doc->at(std::string("Factory Info.Flags.") + key);
    };
    EXPECT_EQ(flag("Unicode"), c.unicode ? "true" : "false");
    EXPECT_EQ(flag("Classes Discardable"), c.discardable ? "true" : "false");
    EXPECT_EQ(flag("Component Non Discardable"), c.nonDiscardable ? "true" : "false");
    // A factory whose classes may change while loaded promises none in the file.
    EXPECT_EQ(doc->count("Classes"), c.discardable ? 1u : 0u);
    EXPECT_EQ(doc->count("Classes[1].CID"), c.discardable ? 0u : 1u);
  }
}

TEST(ModuleInfoJson, TextsAreWrittenAsJsonStrings) {
  struct Case {
    std::string text;
    const char* literal;
  };
  const Case cases[] = {
      {"plain", "\"plain\""},
      {"quote \" inside", "\"quote \\\" inside\""},
      {"back\\slash", "\"back\\\\slash\""},
      {"line\nfeed\r\ttab", "\"line\\nfeed\\r\\ttab\""},
      {"bell\x07 escape\x1b", "\"bell\\u0007 escape\\u001B\""},
      {"Grüße 音符", "\"Grüße 音符\""},
      {"", "\"\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ModuleInfoFacts facts = twoClassModule();
    facts.name = c.text;
    facts.classes[0].name = c.text;
    const std::string json = writeModuleInfoJson(facts);
    EXPECT_NE(json.find("  \"Name\": " + std::string(c.literal) + ",\n"), std::string::npos)
        << json;
    EXPECT_NE(json.find("      \"Name\": " + std::string(c.literal) + ",\n"), std::string::npos);
    // Whatever the text, the document stays well-formed.
    EXPECT_TRUE(test::flattenJson(json));
  }
}

TEST(ModuleInfoJson, SubCategoriesSplitLikeTheSdkReadsThem) {
  struct Case {
    const char* field;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"", {}},        {"Fx", {"Fx"}},      {"Fx|Instrument", {"Fx", "Instrument"}},
      {"Fx|", {"Fx"}}, {"|Fx", {"", "Fx"}}, {"Fx||Delay", {"Fx", "", "Delay"}},
      {"|", {""}},
  };
  for (const Case& c : cases) EXPECT_EQ(splitSubCategories(c.field), c.items) << c.field;
}

TEST(ModuleInfoJson, ModuleVersionPrefersTheAudioModuleClass) {
  const FactoryClass controller = makeClass("Component Controller Class", "C", "2.0", 1);
  const FactoryClass processor = makeClass("Audio Module Class", "P", "1.0", 2);
  const FactoryClass unversioned = makeClass("Audio Module Class", "U", "", 3);
  struct Case {
    std::vector<FactoryClass> classes;
    const char* version;
  };
  const Case cases[] = {
      {{controller, processor}, "1.0"},
      {{unversioned, controller}, "2.0"},
      {{unversioned}, ""},
      {{}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(moduleVersion(c.classes), c.version);
}

}  // namespace
}  // namespace norvo::probe
