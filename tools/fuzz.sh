#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer) and runs each
# for the given number of seconds (default 60), one after the other:
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
# build-fuzz), QD_JOBS (compile jobs, default 2), QD_FUZZ_RSS_MB (memory limit, default 2048),
# QD_FUZZ_TIMEOUT (seconds one input may take, default 10).
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

failed=0
summary=()
for t in "${targets[@]}"; do
    corpus=$work/corpus/$t
    artifacts=$work/crashes/$t
    log=$work/logs/$t.log
    mkdir -p "$corpus" "$artifacts" "$work/logs"
    args=(-max_total_time="$seconds" -rss_limit_mb="$rss" -malloc_limit_mb="$rss"
        -timeout="$timeout" -artifact_prefix="$artifacts/" -print_final_stats=1)
    dict=$(dictionaryOf "$t")
    [ -n "$dict" ] && args+=(-dict="$root/fuzz/dict/$dict.dict")
    seeds=()
    [ -d "$root/fuzz/corpus/$t" ] && seeds+=("$root/fuzz/corpus/$t")
    echo "== $t (${seconds}s)"
    status=0
    # The work corpus comes first: that is where libFuzzer writes what it finds.
    "$build/fuzz/fuzz_$t" "${args[@]}" "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    execs=${execs:-?}
    if [ $status -eq 0 ]; then
        summary+=("$(printf '%-24s %12s executions  ok' "$t" "$execs")")
    else
        failed=1
        what=$(grep -m1 -oE 'ERROR: libFuzzer: [a-z-]+|ERROR: AddressSanitizer: [a-zA-Z-]+|runtime error|ERROR: LeakSanitizer' "$log" || true)
        reproducer=$(sed -n 's/.*Test unit written to //p' "$log" | tail -1)
        summary+=("$(printf '%-24s %12s executions  FAILED (%s) reproducer: %s' "$t" "$execs" \
            "${what:-exit status $status}" "${reproducer:-none, see $log}")")
        echo "   failed; log: $log"
    fi
done

echo
echo "Fuzz run of ${seconds}s per target (work corpus: $work/corpus)"
printf '%s\n' "${summary[@]}"
exit $failed
