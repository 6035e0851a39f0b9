// The speech texts' markup made into the SSML that espeak-ng reads.
//
// The channels' texts are plain text with a few tags of the older desktop
// speech markup, which the speech pages insert:
//   <lang langid="416"> ... </lang>   a stretch in a language, by its hexadecimal
//                                      language id (416 Brazilian Portuguese,
//                                      409 English of the USA, and a few others)
//   <silence msec="350"/>             a pause of that many milliseconds
// sapiToSsml() turns them into <voice xml:lang="pt-br"> ... </voice> and
// <break time="350ms"/>, escapes everything else as text (so "a < b & c" is
// spoken as written), drops other tags (their text stays), and closes what
// the text left open. A language id it does not know keeps the current
// language for its stretch. Tag and attribute names match without regard to
// case.
//
// Thread-safety: pure functions.
#pragma once

#include <QString>

namespace doruzudo {

// The espeak-ng language of a hexadecimal language id ("416" -> "pt-br"),
// or an empty text for an id it does not know.
QString languageOfLangId(const QString& hexId);

// The SSML document for `text`, wrapped in <speak> ... </speak>.
QString sapiToSsml(const QString& text);

}  // namespace doruzudo
