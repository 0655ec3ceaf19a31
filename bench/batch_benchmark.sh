#!/usr/bin/env bash
# Times a batch of 100,000 calculations through velmora against the textbook C
# version of the same dialogue, in turn, several rounds, and prints the median
# of velmora's time over the baseline's. Both run detached from any terminal.
#   bench/batch_benchmark.sh [build folder] [rounds]
set -euo pipefail
build=${1:-build}
rounds=${2:-7}
cases=100000
velmora="$build/velmora"
baseline="$build/bench/velmora_textbook_baseline"
for program in "$velmora" "$baseline"; do
    [ -x "$program" ] || { echo "missing $program: cmake --build $build --target velmora velmora_textbook_baseline" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Distances spread over the whole curve: exact nodes, both flat stretches, interpolation.
awk -v n="$cases" 'BEGIN {
    split("0 5.3659 12 20 33.902 50 75.5 100 107.32 128.66 150 275 499.9 500 650", d, " ");
    for (i = 0; i < n; i++) {
        a = d[1 + i % 15]; b = d[1 + (i * 7) % 15];
        if (b < a) { t = a; a = b; b = t }
        printf "%s %s %d\n", a, b, (i == n - 1) ? 2 : 1;
    }
}' > "$work/cases.txt"

# Runs one program over the cases and prints its wall time in nanoseconds.
time_run() {
    local start end status
    start=$(date +%s%N)
    set +e
    setsid -w "$1" < "$work/cases.txt" > "$work/$2.out"
    status=$?
    set -e
    end=$(date +%s%N)
    [ "$status" -eq 1 ] || { echo "$1 ended with status $status" >&2; exit 1; }
    echo $((end - start))
}

ratios=()
for ((round = 1; round <= rounds; round++)); do
    v=$(time_run "$velmora" velmora)
    b=$(time_run "$baseline" baseline)
    ratio=$(awk -v v="$v" -v b="$b" 'BEGIN { printf "%.3f", v / b }')
    ratios+=("$ratio")
    printf 'round %d: velmora %6.1f ms, textbook C %6.1f ms, ratio %s\n' \
        "$round" "$(awk -v x="$v" 'BEGIN { print x / 1e6 }')" "$(awk -v x="$b" 'BEGIN { print x / 1e6 }')" "$ratio"
done

cmp -s "$work/velmora.out" "$work/baseline.out" || { echo "the two programs wrote different output" >&2; exit 1; }
median=$(printf '%s\n' "${ratios[@]}" | sort -n | awk '{ r[NR] = $1 } END { print r[int((NR + 1) / 2)] }')
echo "median ratio, velmora over textbook C, for $cases calculations: $median"
