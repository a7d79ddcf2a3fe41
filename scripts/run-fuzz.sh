#!/usr/bin/env bash
# Runs the fuzz targets of a fuzz build (make fuzz-build) for SECONDS each and prints one line
# a target:  fuzz TARGET: N executions, C crashes, L leaks
#   usage: run-fuzz.sh BUILD_DIR SECONDS [TARGET...]      (no TARGET: every target of the build)
# Each target starts from its seeds (which it writes itself) and the corpus it grew in earlier
# runs. An input that crashes, hangs or leaks is kept in BUILD_DIR/findings/TARGET/ and the
# target carries on for the rest of its time; the exit code is 1 when anything was found.
set -uo pipefail
# The fuzzers carry their own sanitizer runtime; a library preloaded for other tests would come first.
unset LD_PRELOAD

[ $# -ge 2 ] || { echo "usage: $0 BUILD_DIR SECONDS [TARGET...]" >&2; exit 2; }
build=$(cd "$1" 2>/dev/null && pwd) || { echo "fuzz: no fuzz build in $1 (make fuzz-build)" >&2; exit 2; }
seconds=$2
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  [ -f "$build/fuzz/targets.txt" ] || { echo "fuzz: $build is not a fuzz build" >&2; exit 2; }
  mapfile -t targets < "$build/fuzz/targets.txt"
fi

work=
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# A target that keeps finding faults stops after this many.
max_findings=10
status=0
mkdir -p "$build/work" "$build/logs"
for target in "${targets[@]}"; do
  [ -n "$target" ] || continue
  bin=$build/fuzz/${target}Fuzzer
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  log=$build/logs/$target.log
  if [ ! -x "$bin" ]; then
    echo "fuzz $target: not built (make fuzz-build)"
    status=1
    continue
  fi
  # The run's own folder (so that runs side by side keep apart) is the target's working folder.
  work=$(mktemp -d "$build/work/$target.XXXXXX")
  mkdir -p "$work/seeds" "$corpus" "$findings"
  if ! (cd "$work" && "$bin" --write-seeds="$work/seeds") > "$log" 2>&1; then
    echo "fuzz $target: its seeds could not be written (see $log)"
    rm -rf "$work"
    status=1
    continue
  fi

  executions=0 crashes=0 leaks=0 previous= broken=
  end=$((SECONDS + seconds))
  left=$seconds
  while :; do
    out=$work/run.log
    (cd "$work" && "$bin" -max_total_time="$left" -print_final_stats=1 -timeout=25 -rss_limit_mb=2048 \
      -artifact_prefix="$findings/" "$corpus" "$work/seeds") > "$out" 2>&1
    rc=$?
    cat "$out" >> "$log"
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$out" | tail -n 1 | grep -o '[0-9]*$')
    if [ -z "$runs" ]; then
      broken=1
      break
    fi
    executions=$((executions + runs))
    [ $rc -eq 0 ] && break
    artifact=$(grep -o 'Test unit written to [^ ]*' "$out" | tail -n 1 | sed 's/.*written to //')
    case "$(basename "${artifact:-none}")" in
      leak-*) leaks=$((leaks + 1)) ;;
      *) crashes=$((crashes + 1)) ;;
    esac
    # The same input failing again (a seed, say) would only fail once more.
    [ -z "$artifact" ] || [ "$artifact" != "$previous" ] || break
    previous=$artifact
    left=$((end - SECONDS))
    [ $left -ge 1 ] && [ $((crashes + leaks)) -lt $max_findings ] || break
  done
  rm -rf "$work"
  if [ -n "$broken" ]; then
    echo "fuzz $target: did not run (see $log)"
    status=1
    continue
  fi
  echo "fuzz $target: $executions executions, $crashes crashes, $leaks leaks"
  [ $((crashes + leaks)) -eq 0 ] || status=1
done
if [ $status -ne 0 ]; then
  echo "fuzz: reproducers in $build/findings/, logs in $build/logs/ (run TARGETFuzzer FILE to replay)"
fi
exit $status
