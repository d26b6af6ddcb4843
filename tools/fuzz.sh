#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer) and runs each
# for the given number of seconds (default 60), QD_FUZZ_JOBS of them at a time (default 1):
#
#   tools/fuzz.sh [seconds] [target ...]      targets by name, e.g. TnsNamesParser; default all
#
# Every run starts from the work corpus of its target (new inputs the fuzzer finds are kept
# there, outside the tree, so later runs go on from them) plus the seeds in fuzz/corpus/<target>/,
# with the keyword dictionary of its input language (fuzz/dict/, see dictionaryOf). A crash, a timeout of one input or running out
# of memory is reported with the path of the reproducer; the script then exits non-zero. The
# table at the end gives the executions of every target.
#
# Environment: QD_FUZZ_WORK (work corpus, reproducers and logs; default
# ${XDG_CACHE_HOME:-~/.cache}/quarlodesk-fuzz), QD_FUZZ_BUILD (build directory, default
# build-fuzz), QD_JOBS (compile jobs, default 2), QD_FUZZ_JOBS (targets fuzzed at the same time,
# default 1; each takes one core and up to its memory limit), QD_FUZZ_RSS_MB (memory limit per
# target, default 2048), QD_FUZZ_TIMEOUT (seconds one input may take, default 10).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
[ $# -gt 0 ] && shift
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: tools/fuzz.sh [seconds] [target ...]" >&2
    exit 2
fi
build=${QD_FUZZ_BUILD:-$root/build-fuzz}
work=${QD_FUZZ_WORK:-${XDG_CACHE_HOME:-$HOME/.cache}/quarlodesk-fuzz}
rss=${QD_FUZZ_RSS_MB:-2048}
timeout=${QD_FUZZ_TIMEOUT:-10}
jobs=${QD_FUZZ_JOBS:-1}
if ! [[ $jobs =~ ^[0-9]+$ ]] || [ "$jobs" -lt 1 ]; then
    echo "QD_FUZZ_JOBS must be a positive number" >&2
    exit 2
fi

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for src in "$root"/fuzz/*.cpp; do
        targets+=("$(basename "$src" .cpp)")
    done
fi
for t in "${targets[@]}"; do
    if [ ! -f "$root/fuzz/$t.cpp" ]; then
        echo "no fuzz target $t (fuzz/$t.cpp)" >&2
        exit 2
    fi
done

# The product's own build type keeps the targets fast; the sanitizers come from fuzz/CMakeLists.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQD_BUILD_FUZZ=ON -DQD_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "${QD_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

mkdir -p "$work"
# Undefined behaviour and leaks stop the run like a crash; a leak is a fault of the reader too.
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export QT_QPA_PLATFORM=offscreen

# The keyword dictionary of a target's input language, if it has one.
dictionaryOf() {
    case $1 in
    BindVariableScanner | DialectTranslate | StandinStatement | UpdatingTableParser | \
        DataSetStatementSplit | ScriptSplitter) echo sql ;;
    PlsqlInterpreter) echo plsql ;;
    FilterExpression | QBECriterion) echo filter ;;
    TnsNamesParser) echo tnsnames ;;
    esac
}

# Fuzzes one target and writes its line of the summary to $work/results/<target>; the exit
# status tells whether it failed.
fuzzOne() {
    local t=$1
    local corpus=$work/corpus/$t artifacts=$work/crashes/$t log=$work/logs/$t.log
    mkdir -p "$corpus" "$artifacts"
    local args=(-max_total_time="$seconds" -rss_limit_mb="$rss" -malloc_limit_mb="$rss"
        -timeout="$timeout" -artifact_prefix="$artifacts/" -print_final_stats=1)
    local dict
    dict=$(dictionaryOf "$t")
    [ -n "$dict" ] && args+=(-dict="$root/fuzz/dict/$dict.dict")
    local seeds=()
    [ -d "$root/fuzz/corpus/$t" ] && seeds+=("$root/fuzz/corpus/$t")
    local status=0
    # The work corpus comes first: that is where libFuzzer writes what it finds.
    "$build/fuzz/fuzz_$t" "${args[@]}" "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
    local execs
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    execs=${execs:-?}
    if [ $status -eq 0 ]; then
        printf '%-24s %12s executions  ok\n' "$t" "$execs" >"$work/results/$t"
        return 0
    fi
    local what reproducer
    what=$(grep -m1 -oE 'ERROR: libFuzzer: [a-z-]+|ERROR: AddressSanitizer: [a-zA-Z-]+|runtime error|ERROR: LeakSanitizer' "$log" || true)
    reproducer=$(sed -n 's/.*Test unit written to //p' "$log" | tail -1)
    printf '%-24s %12s executions  FAILED (%s) reproducer: %s\n' "$t" "$execs" \
        "${what:-exit status $status}" "${reproducer:-none, see $log}" >"$work/results/$t"
    echo "   $t failed; log: $log"
    return 1
}

mkdir -p "$work/logs" "$work/results"
rm -f "${targets[@]/#/$work/results/}"
failed=0
running=0
for t in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || failed=1
        running=$((running - 1))
    fi
    echo "== $t (${seconds}s)"
    fuzzOne "$t" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || failed=1
    running=$((running - 1))
done

echo
echo "Fuzz run of ${seconds}s per target (work corpus: $work/corpus)"
for t in "${targets[@]}"; do
    if [ -f "$work/results/$t" ]; then
        cat "$work/results/$t"
    else
        printf '%-24s %12s executions  FAILED (no result)\n' "$t" "?"
        failed=1
    fi
done
exit $failed
