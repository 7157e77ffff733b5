#!/usr/bin/env bash
# Builds every fuzz target with clang and runs each over its seed corpus,
# then on fresh input for SECONDS (default 15). New inputs go to a scratch
# folder, never into the committed corpus.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
. "$(dirname "$0")/common.sh"
SECONDS_EACH="${1:-15}"
shift || true
install_missing $BUILD_PACKAGES clang libclang-rt-14-dev
FUZZ_BUILD="${KOVRIM_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
CXX=clang++ cmake -S "$ROOT/fuzz" -B "$FUZZ_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$FUZZ_BUILD" -j2

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for corpus in "$ROOT"/fuzz/corpus/*/; do targets+=("$(basename "$corpus")"); done
fi
failed=0
for name in "${targets[@]}"; do
    scratch="$FUZZ_BUILD/scratch/$name"
    mkdir -p "$scratch"
    log="$FUZZ_BUILD/$name.log"
    echo "== fuzz_$name : corpus, puis ${SECONDS_EACH} s"
    if "$FUZZ_BUILD/fuzz_$name" -runs=0 "$ROOT/fuzz/corpus/$name" >"$log" 2>&1 \
        && "$FUZZ_BUILD/fuzz_$name" -max_total_time="$SECONDS_EACH" -timeout=5 -rss_limit_mb=2048 \
            -artifact_prefix="$FUZZ_BUILD/" "$scratch" "$ROOT/fuzz/corpus/$name" >>"$log" 2>&1; then
        grep -E "^Done [0-9]+ runs" "$log" | tail -1
    else
        echo "ÉCHEC : voir $log"
        tail -20 "$log"
        failed=1
    fi
done
exit $failed
