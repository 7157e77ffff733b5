#!/usr/bin/env bash
# bench_ansible: a fleet configured by one ansible-playbook run. Simulated
# readers paced at 9600 baud, each two parameters away from the site's file:
#   - the same work by hand on one reader (kovrim-cli config-diff, then
#     config-write: what the config module runs);
#   - site-config.yml on that one reader;
#   - site-config.yml on sixteen readers at once (forks 16, one batch).
# Reports the sixteen against the one (target 2.5 on a 2-core machine) and
# what Ansible adds per reader. Fresh simulators for every run.
#   bench/bench_ansible.sh [RUNS, default 1]   (after ./test.sh --build-only)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${KOVRIM_BUILD_DIR:-$ROOT/build}"
SIM="$BUILD/sim/kovrim-reader-sim"
CLI="$BUILD/cli/kovrim-cli"
RUNS="${1:-1}"
command -v ansible-playbook >/dev/null || { echo "bench_ansible : ansible-playbook absent" >&2; exit 1; }
[ -x "$SIM" ] && [ -x "$CLI" ] || { echo "bench_ansible : compilez d'abord (./test.sh --build-only)" >&2; exit 1; }

WORK="$(mktemp -d)"
pids=()
stop_sims() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    pids=()
}
trap 'stop_sims; rm -rf "$WORK"' EXIT
export HOME="$WORK/home" ANSIBLE_COLLECTIONS_PATH="$ROOT/ansible/collections"
export ANSIBLE_LOCAL_TEMP="$WORK/ansible-local" ANSIBLE_REMOTE_TEMP="$WORK/ansible-remote"
export ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_PIPELINING=1
mkdir -p "$HOME"
printf '3.0.1=Laverie du banc\n10.1=4000\n10.2=1\n' > "$WORK/site.txt"

# N paced simulators, links $WORK/lecteur-1..N; waits until each link exists.
start_sims() {
    local i
    for ((i = 1; i <= $1; i++)); do
        rm -f "$WORK/lecteur-$i"
        "$SIM" --paced --stay --link "$WORK/lecteur-$i" < /dev/null > /dev/null 2>&1 &
        pids+=($!)
    done
    for ((i = 1; i <= $1; i++)); do
        until [ -e "$WORK/lecteur-$i" ]; do sleep 0.05; done
    done
}

inventory() {
    local i
    {
        echo "all:"
        echo "  hosts: {localhost: {ansible_connection: local, ansible_python_interpreter: '{{ ansible_playbook_python }}'}}"
        echo "  children:"
        echo "    lecteurs:"
        echo "      vars: {kovrim_pc: localhost, kovrim_cli: '$CLI', kovrim_config_file: '$WORK/site.txt', kovrim_backup_dir: '$WORK/sauvegardes'}"
        echo "      hosts:"
        for ((i = 1; i <= $1; i++)); do echo "        lecteur-$i: {kovrim_port: '$WORK/lecteur-$i'}"; done
    } > "$WORK/inventory.yml"
}

now_ms() { date +%s%3N; }

# The milliseconds of the work, on fresh readers; fails loudly.
by_hand() {
    start_sims 1
    local start end status=0
    start=$(now_ms)
    "$CLI" --port "$WORK/lecteur-1" config-diff "$WORK/site.txt" > /dev/null 2>&1 && status=1
    "$CLI" --port "$WORK/lecteur-1" config-write --backup-dir "$WORK/sauvegardes" "$WORK/site.txt" \
        > /dev/null 2>&1 || status=1
    end=$(now_ms)
    stop_sims
    [ $status = 0 ] && echo $((end - start))
}

with_ansible() {
    start_sims "$1"
    inventory "$1"
    local start end log="$WORK/ansible-$1.log"
    start=$(now_ms)
    ansible-playbook -i "$WORK/inventory.yml" -f 16 -e kovrim_serial=16 "$ROOT/ansible/site-config.yml" \
        > "$log" 2>&1 || true
    end=$(now_ms)
    stop_sims
    # Every reader written, none failed.
    [ "$(grep -c 'changed=1 .*failed=0' "$log")" = "$1" ] || { cat "$log" >&2; return 1; }
    echo $((end - start))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

hand=() one=() sixteen=()
for ((run = 1; run <= RUNS; run++)); do
    ms=$(by_hand) || { echo "bench_ansible : kovrim-cli a échoué" >&2; exit 1; }
    hand+=("$ms")
    ms=$(with_ansible 1) || { echo "bench_ansible : un lecteur : échec" >&2; exit 1; }
    one+=("$ms")
    ms=$(with_ansible 16) || { echo "bench_ansible : seize lecteurs : échec" >&2; exit 1; }
    sixteen+=("$ms")
    echo "essai $run : à la main ${hand[-1]} ms, Ansible 1 lecteur ${one[-1]} ms, 16 lecteurs ${sixteen[-1]} ms"
done
H=$(printf '%s\n' "${hand[@]}" | median)
A1=$(printf '%s\n' "${one[@]}" | median)
A16=$(printf '%s\n' "${sixteen[@]}" | median)
awk -v h="$H" -v a1="$A1" -v a16="$A16" 'BEGIN {
    ratio = a16 / a1
    printf "BENCH\tAnsible, un lecteur à 9600 bauds (kovrim-cli seul : %.1f s)\t%.1f s\t-\t-\n", h / 1000, a1 / 1000
    printf "BENCH\tAnsible, 16 lecteurs à 9600 bauds (forks 16)\t%.1f s\t-\t-\n", a16 / 1000
    printf "BENCH\tAnsible, 16 lecteurs rapportés à un seul\t%.2f\t<= 2.5\t%s\n", ratio, ratio <= 2.5 ? "oui" : "NON"
    printf "BENCH\tAnsible, temps ajouté pour un lecteur seul\t%.1f s\t-\t-\n", (a1 - h) / 1000
    printf "BENCH\tAnsible, temps ajouté par lecteur de plus (16 lecteurs)\t%.2f s\t-\t-\n", (a16 - a1) / 15000
}'
