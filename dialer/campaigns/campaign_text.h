// The text rules of campaign generation: the digits of a number line, the
// campaign name's typing filter and final form, and the number file split
// into lines.
//
// Pure functions; thread-safe.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

namespace doruzudo {

// True when `text` is one character that converts to an integer on its own:
// one of the ASCII digits "0" to "9".
bool IsDigit(const QString& text);
// The ASCII digits of `text`, in their order; everything else is dropped.
QString SoNumero(const QString& text);

// The campaign-name editor's key filter: backspace, space, 0-9, A-Z and a-z
// pass (letters in upper case, as the editor shows them); any other key
// gives the null character, meaning nothing is typed.
QChar filterNameKey(QChar key);
// The name as typing `typed` into the editor would leave it.
QString typedName(const QString& typed);
// The name generation uses: every space replaced by "_".
QString campaignName(const QString& editorText);

// The lines of a number file read whole. A line ends with CR, LF or CR LF; a
// line break at the end of the file adds no line; an empty file has none.
QStringList splitLines(const QByteArray& content);
// The numbers of a file: SoNumero of each line, in file order (an empty line
// gives an empty number).
QStringList numbersOfFile(const QByteArray& content);

}  // namespace doruzudo
