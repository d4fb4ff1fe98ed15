#include "banks/bank_files.h"

#include <gtest/gtest.h>

#include "banks/sha256.h"
#include "support/banks/temp_folder.h"

namespace norvo {
namespace {

TEST(BankFiles, JoinPath) {
  struct Case {
    const char* base;
    const char* relative;
    const char* joined;
  };
  const Case cases[] = {
      {"", "a.wav", "a.wav"},
      {"/bank", "/abs.wav", "/abs.wav"},
      {"/bank", "", "/bank"},
      {"/bank/", "a.wav", "/bank/a.wav"},
      {"/bank", "a.wav", "/bank/a.wav"},
      {"/bank", "s/a.wav", "/bank/s/a.wav"},
      {"", "", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(joinPath(c.base, c.relative), c.joined) << c.base << " + " << c.relative;
}

TEST(BankFiles, PathIsContained) {
  for (const char* inside :
       {"a.wav", "./a.wav", "a//b.wav", "s/./a.wav", "..a/b", "a../b", "a/b..", "..."}) {
    EXPECT_TRUE(pathIsContained(inside)) << inside;
  }
  for (const char* outside :
       {"", "../x.wav", "/abs.wav", "a\\b.wav", "a/../b.wav", "..", "a/..", "a/../"}) {
    EXPECT_FALSE(pathIsContained(outside)) << outside;
  }
}

TEST(BankFiles, ReadWholeFile) {
  test::TempFolder folder;
  folder.write("data.bin", std::vector<std::uint8_t>{0, 1, 2, 255});
  folder.write("empty.bin", std::vector<std::uint8_t>{});
  std::vector<std::uint8_t> bytes = {9};
  EXPECT_TRUE(readWholeFile(folder / "data.bin", bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0, 1, 2, 255}));
  EXPECT_TRUE(readWholeFile(folder / "empty.bin", bytes));
  EXPECT_TRUE(bytes.empty());
  bytes = {9};
  EXPECT_FALSE(readWholeFile(folder / "missing.bin", bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(readWholeFile(folder.path(), bytes));  // a folder is not a file
}

TEST(BankFiles, Sha256HexKnownDigests) {
  EXPECT_EQ(sha256Hex(nullptr, 0),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256Hex(test::bytesOf("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256Hex(test::bytesOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

}  // namespace
}  // namespace norvo
