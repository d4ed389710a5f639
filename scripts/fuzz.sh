#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer on) and runs
# each for a bounded time: FUZZ_SECONDS (default 60) per target. Crashes are left in build-fuzz/crashes;
# each one found becomes a regression test in tests/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPHASEMETER_FUZZ=ON -DPHASEMETER_BENCH=OFF -DBUILD_TESTING=OFF
cmake --build "$build" -j "$(nproc)" --target fuzz_reply fuzz_textvalue
mkdir -p "$build/crashes" "$build/corpus/reply" "$build/corpus/textvalue"
# Seeds: the shared known-good blocks as live replies and as record 2.
grep -v '^#' tests/data/readings.txt | cut -d'|' -f2 | while read -r hex; do
    printf 'c832%s' "$(echo "$hex" | tr -d ' ')" | xxd -r -p > "$build/corpus/reply/live-$RANDOM"
    printf '0200%s' "$(echo "$hex" | tr -d ' ')" | xxd -r -p > "$build/corpus/reply/record-$RANDOM"
done
printf '1,234.5\xc2\xb0' > "$build/corpus/textvalue/grouped"
status=0
for target in reply textvalue; do
    echo "fuzz_$target: ${seconds}s"
    "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=64 \
        -artifact_prefix="$build/crashes/$target-" "$build/corpus/$target" 2>&1 |
        grep -E '^(#[0-9]+ +DONE|Done|==[0-9]+==ERROR|SUMMARY)' || status=1
done
exit $status
