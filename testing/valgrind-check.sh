#!/usr/bin/env bash
# valgrind-check.sh PROGRAM [ARGS...]
#
# Runs the program under valgrind and passes only when it exits with 0, with no
# invalid read, write or free and no memory definitely lost.
set -uo pipefail
if ! command -v valgrind >/dev/null; then
    echo "valgrind-check: valgrind is missing (scripts/deps.sh installs it)" >&2
    exit 1
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
valgrind --leak-check=full --log-file="$log" "$@"
status=$?
invalid=$(grep -cE 'Invalid (read|write|free)' "$log")
lost=$(sed -nE 's/.*definitely lost: ([0-9,]+) bytes.*/\1/p' "$log" | tr -d ,)
lost=${lost:-0}
echo "valgrind-check: exit status $status, $invalid invalid reads, writes or frees, $lost bytes definitely lost"
if [ "$status" -ne 0 ] || [ "$invalid" -ne 0 ] || [ "$lost" -ne 0 ]; then
    cat "$log"
    exit 1
fi
