// doruzudo-admin settings: read and change the settings store.
#include <QFile>

#include "common/reg_file.h"
#include "common/settings_store.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {
namespace {

const char* kHelp =
    "Usage: doruzudo-admin settings [--key KEY] SUBCOMMAND\n"
    "Reads and changes the dialer's settings store ($DORUZUDO_SETTINGS, else\n"
    "~/.config/VantorDoruzudo/settings.db).\n\n"
    "  list                     every value of the key, one per line\n"
    "  get NAME                 the value NAME (names match in any letter case)\n"
    "  set NAME VALUE [--integer]\n"
    "                           stores VALUE as text, or as a 32-bit integer\n"
    "  import FILE              loads a registry-format file; all or nothing\n"
    "  export [FILE]            writes every key in registry format (to FILE or\n"
    "                           standard output)\n\n"
    "  --key KEY                the key to use (default: the dialer's key,\n"
    "                           HKEY_LOCAL_MACHINE\\Software\\VantorDoruzudo\\config)\n";

int fail(const QString& message) { return failure("settings", message); }

QString show(const StoredValue& v) {
  return v.type == ValueType::Integer ? QString::number(v.integer) : v.text;
}

int run(QStringList args) {
  if (args.isEmpty() || args.contains(QStringLiteral("--help")) || args.contains("-h")) {
    out(QString::fromUtf8(kHelp));
    return args.isEmpty() ? 2 : 0;
  }
  QString key = SettingsStore::kConfigKey;
  if (const int i = args.indexOf(QStringLiteral("--key")); i >= 0) {
    if (i + 1 >= args.size()) return fail(QStringLiteral("--key needs a key path"));
    key = args[i + 1];
    args.remove(i, 2);
  }
  bool integer = false;
  if (const int i = args.indexOf(QStringLiteral("--integer")); i >= 0) {
    integer = true;
    args.remove(i);
  }
  auto opened = SettingsStore::openDefault();
  if (!opened) return fail(opened.message());
  SettingsStore& store = **opened;
  const QString cmd = args.takeFirst();

  try {
    if (cmd == QLatin1String("list") && args.isEmpty()) {
      auto k = store.openKey(key);
      if (!k) return fail(QStringLiteral("no key %1").arg(key));
      for (const StoredValue& v : k->values()) {
        out(QStringLiteral("%1 = %2%3\n")
                .arg(v.name, show(v), v.type == ValueType::Integer ? " (integer)" : ""));
      }
      return 0;
    }
    if (cmd == QLatin1String("get") && args.size() == 1) {
      auto k = store.openKey(key);
      const auto v = k ? k->value(args[0]) : std::nullopt;
      if (!v) return fail(QStringLiteral("no value '%1' in %2").arg(args[0], key));
      out(show(*v) + QLatin1Char('\n'));
      return 0;
    }
    if (cmd == QLatin1String("set") && args.size() == 2) {
      if (integer) {
        bool ok = false;
        const qlonglong n = args[1].toLongLong(&ok);
        if (!ok || n < INT32_MIN || n > INT32_MAX) {
          return fail(QStringLiteral("'%1' is not a 32-bit integer").arg(args[1]));
        }
        writeSetting(store, key, args[0], static_cast<int32_t>(n));
      } else {
        writeSetting(store, key, args[0], args[1]);
      }
      return 0;
    }
    if (cmd == QLatin1String("import") && args.size() == 1) {
      if (Status s = importRegFile(store, args[0]); !s) return fail(s.message() + " (nothing imported)");
      return 0;
    }
    if (cmd == QLatin1String("export") && args.size() <= 1) {
      const QByteArray text = exportRegText(store, std::nullopt);
      if (args.isEmpty()) {
        out(QString::fromUtf8(text));
        return 0;
      }
      QFile file(args[0]);
      if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
        return fail(QStringLiteral("%1: %2").arg(args[0], file.errorString()));
      }
      return 0;
    }
  } catch (const SettingsError& e) {
    return fail(e.message());
  }
  return fail(QStringLiteral("bad arguments for '%1' (see --help)").arg(cmd));
}

const AdminCommand command(QStringLiteral("settings"), QStringLiteral("list, get, set, import, export settings"),
                           [](const QStringList& args) { return run(args); });

}  // namespace
}  // namespace doruzudo::admin
