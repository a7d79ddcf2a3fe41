#!/usr/bin/env bash
# Runs one stage of the set-up with its whole output in a log file, and shows one line for it:
# "<label> ... done" (on a terminal the line counts the build's progress as it goes). A failure
# names the log and shows its last lines.
# Usage: stage.sh LOG LABEL COMMAND [ARG ...]
set -uo pipefail
log=$1
label=$2
shift 2
mkdir -p "$(dirname "$log")"
echo "== $label: $*" >> "$log"
start=$(date +%s)
if [ -t 1 ]; then
  printf '%s ...' "$label"
  # The build prints "[ 42%] ..." lines; show the latest percentage in place.
  "$@" 2>&1 | tee -a "$log" | while IFS= read -r line; do
    case $line in
      "["*"%]"*) printf '\r%s ... %s' "$label" "${line%%]*}]" ;;
    esac
  done
  status=${PIPESTATUS[0]}
  printf '\r\033[K'
else
  "$@" >> "$log" 2>&1
  status=$?
fi
seconds=$(( $(date +%s) - start ))
if [ "$status" -ne 0 ]; then
  echo "$label failed after ${seconds} s; the whole output is in $log, its last lines:" >&2
  tail -n 25 "$log" >&2
  exit "$status"
fi
echo "$label ... done (${seconds} s)"
