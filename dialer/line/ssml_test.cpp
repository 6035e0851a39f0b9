#include "dialer/line/ssml.h"

#include <gtest/gtest.h>

#include "tests/testing.h"

namespace doruzudo {
namespace {

struct Case {
  const char* name;
  QString text;
  QString ssml;  // without the <speak> wrapper
};

TEST(SapiToSsml, TranslatesTheSpeechPagesTags) {
  const Case cases[] = {
      {"plain text", QStringLiteral("Olá, tudo bem?"), QStringLiteral("Olá, tudo bem?")},
      {"Portuguese block as the button inserts it",
       QStringLiteral("\r\n<lang langid=\"416\">\r\nBom dia\r\n</lang>\r\n"),
       QStringLiteral("\n<voice xml:lang=\"pt-br\">\nBom dia\n</voice>\n")},
      {"English block", QStringLiteral("<lang langid=\"409\">Good morning</lang>"),
       QStringLiteral("<voice xml:lang=\"en-us\">Good morning</voice>")},
      {"pause", QStringLiteral("um<silence msec=\"350\"/>dois"),
       QStringLiteral("um<break time=\"350ms\"/>dois")},
      {"tags in any case, single quotes, no self-closing slash",
       QStringLiteral("<LANG LangId='409'>a<SILENCE MSEC='20'>b</Lang>"),
       QStringLiteral("<voice xml:lang=\"en-us\">a<break time=\"20ms\"/>b</voice>")},
      {"language id with a prefix, leading zeros or alternatives",
       QStringLiteral("<lang langid=\"0x0416\">a</lang><lang langid=\"409;9\">b</lang>"),
       QStringLiteral("<voice xml:lang=\"pt-br\">a</voice><voice xml:lang=\"en-us\">b</voice>")},
      {"nested blocks",
       QStringLiteral("<lang langid=\"409\">a<lang langid=\"416\">b</lang>c</lang>"),
       QStringLiteral("<voice xml:lang=\"en-us\">a<voice xml:lang=\"pt-br\">b</voice>c</voice>")},
      {"unknown language keeps the current one and its closing tag",
       QStringLiteral("<lang langid=\"999\">a</lang>b"), QStringLiteral("ab")},
      {"unclosed block closed at the end, stray closing tag dropped",
       QStringLiteral("</lang>a<lang langid=\"409\">b"),
       QStringLiteral("a<voice xml:lang=\"en-us\">b</voice>")},
      {"text that looks like markup is spoken as written", QStringLiteral("a < b & c > d <3 <<x>"),
       QStringLiteral("a &lt; b &amp; c &gt; d &lt;3 &lt;")},
      {"other tags dropped, their text kept",
       QStringLiteral("<emph>já</emph> <volume level=\"50\"/>"), QStringLiteral("já ")},
      {"a pause without a valid length is dropped",
       QStringLiteral("<silence msec=\"abc\"/><silence/><silence msec=\"-5\"/>x"),
       QStringLiteral("x")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sapiToSsml(c.text), QStringLiteral("<speak>") + c.ssml + QStringLiteral("</speak>"))
        << c.name;
  }
}

TEST(SapiToSsml, LanguageIds) {
  EXPECT_EQ(languageOfLangId(QStringLiteral("416")), QStringLiteral("pt-br"));
  EXPECT_EQ(languageOfLangId(QStringLiteral("409")), QStringLiteral("en-us"));
  EXPECT_EQ(languageOfLangId(QStringLiteral("816")), QStringLiteral("pt"));
  EXPECT_EQ(languageOfLangId(QStringLiteral("c0a")), QStringLiteral("es"));
  EXPECT_EQ(languageOfLangId(QStringLiteral("zz")), QString());
  EXPECT_EQ(languageOfLangId(QString()), QString());
}

}  // namespace
}  // namespace doruzudo
