#include <gtest/gtest.h>

#include "common/escreve.h"
#include "common/text_forms.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

TEST(TextForms, Booleans) {
  struct Case {
    const char* text;
    std::optional<bool> expected;
  } cases[] = {{"1", true},      {"-1", true},  {"True", true},   {"true", true},
               {"TRUE", true},   {"2", true},   {"0", false},     {"False", false},
               {"false", false}, {"0.0", false}, {"", std::nullopt}, {"sim", std::nullopt},
               {"yes", std::nullopt}, {" ", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(parseBool(c.text), c.expected) << c.text;
}

TEST(TextForms, TimesAcceptTheMaskedEditorFormsAndRejectIncompleteOnes) {
  struct Case {
    const char* text;
    std::optional<QTime> expected;
  } cases[] = {{"08:00:00", QTime(8, 0, 0)}, {"18:00:59", QTime(18, 0, 59)},
               {" 8:30:00", QTime(8, 30, 0)}, {"23:59", QTime(23, 59)},
               {"  :  :00", std::nullopt},    {"24:00:00", std::nullopt},
               {"99:99:59", std::nullopt},    {"12:60", std::nullopt},
               {"", std::nullopt},            {"8", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(parseTime(c.text), c.expected) << c.text;
}

TEST(TextForms, DatesInTheBrazilianShortForm) {
  EXPECT_EQ(parseDate("25/03/2011"), QDate(2011, 3, 25));
  EXPECT_EQ(parseDate("1/2/2026"), QDate(2026, 2, 1));
  EXPECT_EQ(parseDate("01/02/26"), QDate(2026, 2, 1));
  EXPECT_EQ(parseDate("31/02/2026"), std::nullopt);
  EXPECT_EQ(parseDate("2026-02-01"), std::nullopt);
  EXPECT_EQ(parseDate(""), std::nullopt);
  EXPECT_EQ(formatDateTime(QDate(2011, 3, 5), QTime(4, 7, 9)), "05/03/2011 - 04:07:09");
}

TEST(Escreve, AppendsCrLfLinesAndIgnoresAnUnwritablePath) {
  testing::TempDir dir;
  const QString file = dir.file("export.txt");
  EXPECT_TRUE(Escreve("Número;Situação", file));
  EXPECT_TRUE(Escreve("2", file));
  EXPECT_EQ(testing::readFile(file), QByteArray("N\xc3\xbamero;Situa\xc3\xa7\xc3\xa3o\r\n2\r\n"));
  EXPECT_FALSE(Escreve("x", dir.file("missing/folder/export.txt")));
}

}  // namespace
}  // namespace doruzudo
