// The dialer's folders and the recordings folder of a day.
//
// ProgramFolder is where the shipped data lie (the executable's folder in a
// build tree). BaseFolder, the writable home of messages and data, is
// ~/Doruzudo/; the default recordings root is ~/Gravações/ and the default
// database folder ~/Doruzudo/Dados. Paths use "/" and folder texts end in "/".
//
// Threads: any; pure apart from the folder creation.
#pragma once

#include <QDate>
#include <QString>

namespace doruzudo {

struct Folders {
  QString program;    // ProgramFolder, ends in "/"
  QString home;       // the user's home, ends in "/"
  QString autostart;  // XDG autostart folder, ends in "/"

  QString base() const { return home + QStringLiteral("Doruzudo/"); }  // BaseFolder
  QString defaultRecordings() const { return home + QStringLiteral("Gravações/"); }
  QString defaultDatabase() const { return base() + QStringLiteral("Dados"); }

  // The folders of this process: executable folder, $HOME, $XDG_CONFIG_HOME/autostart.
  static Folders fromEnvironment();
};

// The three folders of a day's recordings: root + year, + month name, + day.
struct RecordingFolders {
  QString year, month, day;
};

// "Janeiro" .. "Dezembro" for 1..12.
QString monthName(int month);
RecordingFolders recordingFolders(const QString& root, const QDate& date);

// Creates, each only if missing, the root, year, month and day folders of
// `date` under `root`. Creation failures are ignored (a recording that cannot
// be written shows them later). Returns the three folder texts.
RecordingFolders CriaPasta(const QString& root, const QDate& date);

// The kind of operating system, fixed at start-up. On Linux it is always 5,
// the value of the modern desktop generation: sound devices are named by the
// last word of their description ("Microfone (MD03)" -> "MD03") and the
// start-with-the-session entry is per user.
constexpr int kOsKind = 5;

// The platform labels of the system panel (uname: system, release, version).
struct PlatformInfo {
  QString platform, version, build;
};
PlatformInfo platformInfo();

}  // namespace doruzudo
