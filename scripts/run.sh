#!/usr/bin/env bash
# Sets everything up, builds, seeds the settings store with the shipped
# defaults when it does not exist yet, and starts the dialer.
# Arguments are passed to doruzudo (for example --headless).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
store="${DORUZUDO_SETTINGS:-${XDG_CONFIG_HOME:-$HOME/.config}/VantorDoruzudo/settings.db}"
if [ ! -f "$store" ]; then
  echo "Seeding the settings store $store"
  build/bin/doruzudo-admin settings import share/defaults.reg
fi
# The call database: in PathBD when set, else the dialer's default folder.
admin=build/bin/doruzudo-admin
dbfolder="$("$admin" settings get PathBD 2>/dev/null || true)"
if [ -z "$dbfolder" ]; then
  dbfolder="$HOME/Doruzudo/Dados"
  "$admin" settings set PathBD "$dbfolder"
fi
[ -f "$dbfolder/vantor.db" ] || "$admin" db init --folder "$dbfolder"
exec build/bin/doruzudo "$@"
