#!/usr/bin/env bash
# Builds every fuzz target with clang and runs each over its seed corpus,
# then on fresh input for SECONDS (default 15). New inputs go to a scratch
# folder, never into the committed corpus. Two targets run at a time (one
# per core; KOVRIM_FUZZ_JOBS to change it).
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#   scripts/fuzz.sh --build-only
set -euo pipefail
. "$(dirname "$0")/common.sh"
build_only=0
if [ "${1:-}" = "--build-only" ]; then build_only=1; shift; fi
SECONDS_EACH="${1:-15}"
shift || true
JOBS="${KOVRIM_FUZZ_JOBS:-2}"
install_missing $BUILD_PACKAGES clang libclang-rt-14-dev
FUZZ_BUILD="${KOVRIM_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
CXX=clang++ cmake -S "$ROOT/fuzz" -B "$FUZZ_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$FUZZ_BUILD" -j2
[ $build_only = 1 ] && exit 0

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for corpus in "$ROOT"/fuzz/corpus/*/; do targets+=("$(basename "$corpus")"); done
fi

# One target: its corpus, then fresh input. The log says how it went, the
# status file whether it passed.
fuzz_one() {
    local name="$1" scratch="$FUZZ_BUILD/scratch/$1" log="$FUZZ_BUILD/$1.log"
    mkdir -p "$scratch"
    local status=0
    "$FUZZ_BUILD/fuzz_$name" -runs=0 "$ROOT/fuzz/corpus/$name" >"$log" 2>&1 \
        && "$FUZZ_BUILD/fuzz_$name" -max_total_time="$SECONDS_EACH" -timeout=5 -rss_limit_mb=2048 \
            -artifact_prefix="$FUZZ_BUILD/$name-" "$scratch" "$ROOT/fuzz/corpus/$name" >>"$log" 2>&1 \
        || status=1
    echo "$status" >"$FUZZ_BUILD/$name.status"
}

for name in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do sleep 0.2; done
    rm -f "$FUZZ_BUILD/$name.status"
    fuzz_one "$name" &
done
wait

failed=0
for name in "${targets[@]}"; do
    echo "== fuzz_$name : corpus, puis ${SECONDS_EACH} s"
    if [ "$(cat "$FUZZ_BUILD/$name.status" 2>/dev/null)" = 0 ]; then
        grep -E "^Done [0-9]+ runs" "$FUZZ_BUILD/$name.log" | tail -1
    else
        echo "ÉCHEC : voir $FUZZ_BUILD/$name.log"
        tail -20 "$FUZZ_BUILD/$name.log"
        failed=1
    fi
done
exit $failed
