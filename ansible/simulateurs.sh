#!/usr/bin/env bash
# Starts one simulated reader per host of inventory.sim.yml, on the links
# that inventory names, and keeps them until Ctrl-C.
#   ansible/simulateurs.sh [--paced]     (--paced: a line at 9600 bauds)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SIM="$ROOT/build/sim/kovrim-reader-sim"
DIR=/tmp/kovrim-parc
[ -x "$SIM" ] || { echo "$SIM absent : lancez d'abord ./test.sh --build-only" >&2; exit 1; }
mkdir -p "$DIR"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait; exit 0' INT TERM EXIT
for reader in $(grep -o '/tmp/kovrim-parc/sim-[a-z-]*' "$ROOT/ansible/inventory.sim.yml"); do
    "$SIM" --stay --link "$reader" "$@" < /dev/null > "$reader.log" 2>&1 &
    pids+=($!)
    echo "Lecteur simulé : $reader"
done
echo "Prêts ; Ctrl-C pour les arrêter."
wait
