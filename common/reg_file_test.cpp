#include <gtest/gtest.h>

#include "common/reg_file.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

const QByteArray kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

TEST(RegFile, ParsesTextsAndIntegersWithEscapes) {
  const QByteArray text = "\xEF\xBB\xBF" + kHeader +
                          "[HKEY_LOCAL_MACHINE\\Software\\VantorDoruzudo\\config]\r\n"
                          "; a comment\r\n"
                          "\"ToquesC1\"=dword:0000001e\r\n"
                          "\"TextoC1\"=\"Olá \\\"você\\\"\\r\\nC:\\\\Áudio\"\r\n"
                          "\"Neg\"=dword:ffffffff\r\n";
  auto entries = parseRegText(text, "f.reg");
  ASSERT_TRUE(entries.ok()) << entries.message().toStdString();
  ASSERT_EQ(entries->size(), 3u);
  EXPECT_EQ((*entries)[0].value.integer, 30);
  EXPECT_EQ((*entries)[1].value.text, "Olá \"você\"\r\nC:\\Áudio");
  EXPECT_EQ((*entries)[2].value.integer, -1);
  EXPECT_EQ((*entries)[1].key, "HKEY_LOCAL_MACHINE\\Software\\VantorDoruzudo\\config");
}

TEST(RegFile, ABadLineIsNamedWithItsFileAndNumber) {
  struct Case {
    QByteArray text;
    const char* error;
  } cases[] = {
      {"REGEDIT4\n", "f.reg:1: expected the line"},
      {kHeader + "\"A\"=\"x\"\n", "f.reg:3: a value before any [key] section"},
      {kHeader + "[K]\n\"A\"=\"x\"\n\"B\"=hex:00\n", "f.reg:5: unsupported value"},
      {kHeader + "[K]\n\"A\"=\"unterminated\n", "f.reg:4: malformed quoted text"},
      {kHeader + "[K]\n\"A\"=dword:123456789\n", "f.reg:4: unsupported value"},
      {kHeader + "[K\n", "f.reg:3: malformed key section"},
      {"", "f.reg: not a settings file"},
  };
  for (const auto& c : cases) {
    auto entries = parseRegText(c.text, "f.reg");
    ASSERT_FALSE(entries.ok()) << c.text.constData();
    EXPECT_TRUE(entries.message().startsWith(c.error)) << entries.message().toStdString();
  }
}

TEST(RegFile, ABadImportWritesNothingAndAGoodOneRoundTripsThroughExport) {
  testing::TempDir dir;
  auto store = testing::makeStore(dir);
  testing::writeFile(dir.file("bad.reg"), kHeader + "[K]\n\"A\"=\"1\"\n\"B\"=bogus\n");
  EXPECT_FALSE(importRegFile(*store, dir.file("bad.reg")).ok());
  EXPECT_TRUE(store->keys().empty());

  testing::writeFile(dir.file("good.reg"),
                     kHeader + "[K\\Sub]\n\"Texto\"=\"a\\\\b\\r\\nç\"\n\"N\"=dword:00000007\n");
  ASSERT_TRUE(importRegFile(*store, dir.file("good.reg")).ok());
  const QByteArray exported = exportRegText(*store, std::nullopt);
  EXPECT_EQ(exported, kHeader + "[K\\Sub]\r\n\"N\"=dword:00000007\r\n\"Texto\"=\"a\\\\b\\r\\nç\"\r\n");
  auto again = parseRegText(exported, "x");
  ASSERT_TRUE(again.ok());
  EXPECT_EQ((*again)[1].value.text, "a\\b\r\nç");
}

TEST(RegFile, TheShippedDefaultsHoldEveryValueReadStrictly) {
  testing::TempDir dir;
  auto store = testing::makeStore(dir);
  ASSERT_TRUE(importRegFile(*store, QStringLiteral(DORUZUDO_SOURCE_DIR "/share/defaults.reg")).ok());
  auto key = store->openKey(SettingsStore::kConfigKey);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->readInteger("idflashc8"), 2);
  EXPECT_EQ(key->readIntText("FlashC8"), 300);
  EXPECT_EQ(key->readInteger("ToquesC1"), 5);
  EXPECT_EQ(key->readInteger("HotKey"), 32833);
  EXPECT_FALSE(key->readBool("Sendmail"));
  EXPECT_EQ(key->readString("TextoHabC3"), "NÃO");
}

}  // namespace
}  // namespace doruzudo
