#!/usr/bin/env bash
# Sets everything up, builds, and starts the dialer.
#
# Without arguments: a rehearsal on this machine, no hardware needed. A fresh
# sandbox (settings, database, recordings under build/rehearsal/) gets the
# demo campaign on all eight lines, the virtual exchange plays the far end
# from share/demo/scenario.txt at full speed, and a summary is printed.
#
# With arguments: the dialer itself, on your settings store (seeded from
# share/defaults.reg when it does not exist yet), e.g. `scripts/run.sh --headless`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
admin="$PWD/build/bin/doruzudo-admin"
dialer="$PWD/build/bin/doruzudo"

prepare_store() {
  local store="${DORUZUDO_SETTINGS:-${XDG_CONFIG_HOME:-$HOME/.config}/VantorDoruzudo/settings.db}"
  if [ ! -f "$store" ]; then
    echo "Seeding the settings store $store"
    "$admin" settings import share/defaults.reg
  fi
  local dbfolder
  dbfolder="$("$admin" settings get PathBD 2>/dev/null || true)"
  if [ -z "$dbfolder" ]; then
    dbfolder="$HOME/Doruzudo/Dados"
    "$admin" settings set PathBD "$dbfolder"
  fi
  [ -f "$dbfolder/vantor.db" ] || "$admin" db init --folder "$dbfolder"
}

if [ $# -gt 0 ]; then
  prepare_store
  exec "$dialer" "$@"
fi

sandbox="$PWD/build/rehearsal"
rm -rf "$sandbox"
mkdir -p "$sandbox"
export HOME="$sandbox" XDG_CONFIG_HOME="$sandbox/.config" TMPDIR="$sandbox"
export DORUZUDO_SETTINGS="$sandbox/settings.db"
prepare_store
# Channels 3 and 4 record the party, 5 asks a satisfaction question, 6 transfers.
"$admin" settings set IDTransC3 2 --integer && "$admin" settings set TransC3 "Disque Opnião"
"$admin" settings set IDTransC4 2 --integer && "$admin" settings set TransC4 "Disque Opnião"
"$admin" settings set IDTransC5 6 --integer && "$admin" settings set TransC5 PesqOpniao
"$admin" settings set IDTransC6 0 --integer && "$admin" settings set TransC6 SIM
"$admin" settings set RamalC6 2001 && "$admin" settings set TamDigitosC6 4 --integer
"$admin" settings set Texto1C5 "ÓTIMO" && "$admin" settings set Texto2C5 "BOM" && "$admin" settings set Texto3C5 "RUIM"
"$admin" campaign create --file share/demo/numbers.txt --name DEMO --channels 1,2,3,4,5,6,7,8

echo "Rehearsal: the demo campaign on eight simulated lines (log: $sandbox/dialer.log)"
"$dialer" --headless --simulate --speed=max --stop-when-done --truth="$sandbox/truth.jsonl" \
  | tee "$sandbox/dialer.log" | grep -E "Discando para|Ocupado|Não Atende|atendida|Transferindo|Gravação" || true

db="$sandbox/Doruzudo/Dados/vantor.db"
echo
echo "Numbers by result:"
sqlite3 -separator ': ' "$db" 'SELECT Status, COUNT(*) FROM "DEMO" GROUP BY Status ORDER BY 2 DESC;'
echo "Still to dial: $(sqlite3 "$db" "SELECT COUNT(*) FROM telefones WHERE Campanha = 'DEMO';")"
echo "Option answers:"
sqlite3 -separator ': ' "$db" 'SELECT Opcao1, COUNT(*) FROM "DEMO" WHERE Opcao1 IS NOT NULL GROUP BY Opcao1;'
echo "Recordings made: $(sqlite3 "$db" 'SELECT COUNT(*) FROM registro;') (in $sandbox/Gravações)"
echo "Transfers made: $(grep -c '"transferredTo"' "$sandbox/truth.jsonl" || true)"
echo "Calls seen by the exchange: $(wc -l < "$sandbox/truth.jsonl") (ground truth: $sandbox/truth.jsonl)"
echo
echo "The results against what happened on each line:"
"$admin" sim check --truth "$sandbox/truth.jsonl" --campaign DEMO || true
