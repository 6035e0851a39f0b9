// The command groups of doruzudo-admin. Each admin_<group>.cpp defines one
// static AdminCommand, which registers itself; main() dispatches on the first
// argument.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

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

}  // namespace doruzudo::admin
