#!/usr/bin/env bash
# Builds and runs every benchmark, then prints one table: figure, value
# (median of the runs), target, met or not. Benchmarks are not tests: run
# them by hand on an otherwise idle machine.
#   scripts/bench.sh [SECONDS for the CPU figures, default 10]
set -euo pipefail
. "$(dirname "$0")/common.sh"
install_missing $BUILD_PACKAGES
build_project
SECONDS_CPU="${1:-10}"
B="$BUILD_DIR/bench"
export QT_QPA_PLATFORM=offscreen
out="$(mktemp)"
# A home of its own: the window creates its folder and settings there, not
# in the operator's.
HOME="$(mktemp -d)"
export HOME XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
trap 'rm -rf "$out" "$HOME"' EXIT
# A benchmark that fails is named, and makes this script fail, instead of
# leaving its figure out of the table without a word.
failed=()
run() {
    if ! "$@" | tee -a "$out" | { grep -v "^BENCH" || true; }; then
        failed+=("$(basename "$1")")
    fi
}
run "$B/bench_enginecpu" "$SECONDS_CPU"
run "$B/bench_startup" "$BUILD_DIR/kovrim-manager" 10
for extra in "$B"/bench_*; do
    case "$(basename "$extra")" in bench_enginecpu|bench_startup) continue ;; esac
    [ -f "$extra" ] && [ -x "$extra" ] && run "$extra"
done
# A fleet through Ansible: where ansible-core is installed (./test.sh does).
if command -v ansible-playbook >/dev/null; then
    run "$ROOT/bench/bench_ansible.sh"
fi
echo
printf '| %s | %s | %s | %s |\n' "Mesure" "Valeur" "Cible" "Atteinte"
printf '|---|---|---|---|\n'
grep "^BENCH" "$out" | awk -F'\t' '{ printf "| %s | %s | %s | %s |\n", $2, $3, $4, $5 }'
echo
echo "Machine : $(nproc) cœurs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(uname -sr)"
if [ ${#failed[@]} -gt 0 ]; then
    echo "Mesures en échec : ${failed[*]}" >&2
    exit 1
fi
