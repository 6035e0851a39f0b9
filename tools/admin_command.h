// The command groups of doruzudo-admin. Each admin_<group>.cpp defines one
// static AdminCommand, which registers itself; main() dispatches on the first
// argument.
#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "common/call_database.h"
#include "common/status.h"

namespace doruzudo::admin {

struct AdminCommand {
  using Run = std::function<int(const QStringList& args)>;  // args after the group name
  AdminCommand(QString name, QString summary, Run run);
  QString name;
  QString summary;
  Run run;
};

const std::vector<const AdminCommand*>& commands();

// Prints to standard output / standard error (UTF-8).
void out(const QString& text);
void err(const QString& text);

// "doruzudo-admin GROUP: MESSAGE" on standard error; returns exit code 1.
int failure(const char* group, const QString& message);
// "doruzudo-admin GROUP: PROBLEM" and the group's help on standard error;
// returns exit code 2 (wrong arguments).
int usageError(const char* group, const QString& problem, const char* help);

// The --db-folder value of a parser that has the option, if given.
inline std::optional<QString> dbFolderOption(const QCommandLineParser& parser) {
  if (!parser.isSet(QStringLiteral("db-folder"))) return std::nullopt;
  return parser.value(QStringLiteral("db-folder"));
}

// The call database folder of a command: the one given (--db-folder DIR), or
// else the dialer's PathBD from the settings store.
Result<QString> commandDatabaseFolder(const std::optional<QString>& given);
// The call database there; `create` makes a missing database file.
Result<std::shared_ptr<CallDatabase>> openCommandDatabase(const std::optional<QString>& given,
                                                          bool create = false);

}  // namespace doruzudo::admin
