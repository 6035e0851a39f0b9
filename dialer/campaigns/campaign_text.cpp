#include "dialer/campaigns/campaign_text.h"

namespace doruzudo {

namespace {
bool isAsciiDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
}  // namespace

bool IsDigit(const QString& text) {
  return text.size() == 1 && isAsciiDigit(text[0].unicode());
}

QString SoNumero(const QString& text) {
  QString digits;
  digits.reserve(text.size());
  for (QChar c : text) {
    if (isAsciiDigit(c.unicode())) digits += c;
  }
  return digits;
}

QChar filterNameKey(QChar key) {
  const char16_t c = key.unicode();
  if (c == u'\b' || c == u' ' || isAsciiDigit(c) || (c >= u'A' && c <= u'Z')) return key;
  if (c >= u'a' && c <= u'z') return QChar(c - u'a' + u'A');
  return QChar();
}

QString typedName(const QString& typed) {
  QString name;
  for (QChar key : typed) {
    const QChar kept = filterNameKey(key);
    if (kept.isNull()) continue;
    if (kept == QLatin1Char('\b')) {
      name.chop(1);
    } else {
      name += kept;
    }
  }
  return name;
}

QString campaignName(const QString& editorText) {
  QString name = editorText;
  name.replace(QLatin1Char(' '), QLatin1Char('_'));
  return name;
}

namespace {

// Calls `line(begin, end)` for each line of `content`.
template <typename Fn>
void forEachLine(const QByteArray& content, Fn line) {
  const char* p = content.constData();
  const char* end = p + content.size();
  const char* start = p;
  while (p < end) {
    if (*p == '\r' || *p == '\n') {
      line(start, p);
      if (*p == '\r' && p + 1 < end && p[1] == '\n') ++p;
      start = ++p;
    } else {
      ++p;
    }
  }
  if (start < end) line(start, end);
}

}  // namespace

QStringList splitLines(const QByteArray& content) {
  QStringList lines;
  forEachLine(content, [&](const char* b, const char* e) {
    lines << QString::fromUtf8(b, static_cast<qsizetype>(e - b));
  });
  return lines;
}

QStringList numbersOfFile(const QByteArray& content) {
  // Digits are ASCII bytes, which never occur inside a multi-byte character,
  // so the bytes are filtered directly whatever the file's character set.
  QStringList numbers;
  numbers.reserve(content.count('\n') + content.count('\r') + 1);
  char digits[64];
  forEachLine(content, [&](const char* b, const char* e) {
    QString number;
    qsizetype n = 0;
    for (; b < e; ++b) {
      if (*b >= '0' && *b <= '9') {
        if (n == sizeof digits) {
          number += QLatin1StringView(digits, n);
          n = 0;
        }
        digits[n++] = *b;
      }
    }
    number += QLatin1StringView(digits, n);
    numbers << number;
  });
  return numbers;
}

}  // namespace doruzudo
