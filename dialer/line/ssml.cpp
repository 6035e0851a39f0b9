#include "dialer/line/ssml.h"

#include <QRegularExpression>
#include <optional>
#include <vector>

namespace doruzudo {

namespace {

struct LangRow {
  int id;
  const char* language;
};

// Language ids (primary language and sub-language) and espeak-ng's names.
constexpr LangRow kLanguages[] = {
    {0x416, "pt-br"}, {0x816, "pt"},     {0x409, "en-us"}, {0x809, "en-gb"}, {0x40A, "es"},
    {0xC0A, "es"},    {0x80A, "es-419"}, {0x40C, "fr"},    {0x407, "de"},    {0x410, "it"},
};

struct Tag {
  bool closing = false;
  bool selfClosing = false;
  QString name;        // lower case
  QString attributes;  // the raw text after the name
  qsizetype length = 0;
};

// The tag that starts at text[at] ('<'), if it is one.
std::optional<Tag> tagAt(const QString& text, qsizetype at) {
  static const QRegularExpression re(
      QStringLiteral(R"(\G<(/?)([A-Za-z][\w:.\-]*)((?:\s[^<>]*?)?)\s*(/?)>)"));
  const QRegularExpressionMatch m = re.match(text, at, QRegularExpression::NormalMatch,
                                             QRegularExpression::AnchorAtOffsetMatchOption);
  if (!m.hasMatch()) return std::nullopt;
  return Tag{!m.captured(1).isEmpty(), !m.captured(4).isEmpty(), m.captured(2).toLower(),
             m.captured(3), m.capturedLength()};
}

QString attribute(const QString& attributes, const QString& name) {
  static const QRegularExpression re(
      QStringLiteral(R"re(([\w:.\-]+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>/]+)))re"));
  for (auto it = re.globalMatch(attributes); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    if (m.captured(1).compare(name, Qt::CaseInsensitive) != 0) continue;
    for (int i = 2; i <= 4; ++i) {
      if (m.capturedStart(i) >= 0) return m.captured(i).trimmed();
    }
  }
  return {};
}

void appendEscaped(QString& out, QChar c) {
  if (c == u'&')
    out += QStringLiteral("&amp;");
  else if (c == u'<')
    out += QStringLiteral("&lt;");
  else if (c == u'>')
    out += QStringLiteral("&gt;");
  else if (c != u'\r')
    out += c;
}

class Translator {
 public:
  QString run(const QString& text) {
    out_ = QStringLiteral("<speak>");
    for (qsizetype i = 0; i < text.size();) {
      const std::optional<Tag> tag = text[i] == u'<' ? tagAt(text, i) : std::nullopt;
      if (!tag) {
        appendEscaped(out_, text[i++]);
        continue;
      }
      handle(*tag);
      i += tag->length;
    }
    while (!open_.empty()) closeLang();
    out_ += QStringLiteral("</speak>");
    return out_;
  }

 private:
  void handle(const Tag& tag) {
    if (tag.name == u"lang") {
      if (tag.closing)
        closeLang();
      else if (!tag.selfClosing)
        openLang(languageOfLangId(attribute(tag.attributes, QStringLiteral("langid"))));
    } else if (tag.name == u"silence" && !tag.closing) {
      bool ok = false;
      const int ms = attribute(tag.attributes, QStringLiteral("msec")).toInt(&ok);
      if (ok && ms >= 0) out_ += QStringLiteral("<break time=\"%1ms\"/>").arg(ms);
    }
  }
  void openLang(const QString& language) {
    open_.push_back(!language.isEmpty());
    if (!language.isEmpty()) out_ += QStringLiteral("<voice xml:lang=\"%1\">").arg(language);
  }
  void closeLang() {
    if (open_.empty()) return;
    if (open_.back()) out_ += QStringLiteral("</voice>");
    open_.pop_back();
  }

  QString out_;
  std::vector<bool> open_;  // per open <lang>: whether it became a <voice>
};

}  // namespace

QString languageOfLangId(const QString& hexId) {
  QString id = hexId.section(u';', 0, 0).trimmed();
  if (id.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) id = id.mid(2);
  bool ok = false;
  const int value = id.toInt(&ok, 16);
  if (!ok) return {};
  for (const LangRow& row : kLanguages) {
    if (row.id == value) return QString::fromLatin1(row.language);
  }
  return {};
}

QString sapiToSsml(const QString& text) {
  return Translator().run(text);
}

}  // namespace doruzudo
