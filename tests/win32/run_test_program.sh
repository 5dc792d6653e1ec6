#!/bin/bash
# CTest's runner of the Windows test program under Wine: run_test_program.sh LOADER PROGRAM ARGS...
# The program's output passes through unchanged. A run that ends with a failure before any test
# has started (the loader could not start the program, or the program died during its start-up)
# would otherwise show as a failure with no output at all: a line then says so.
set -uo pipefail
out=$(mktemp)
"$@" 2>&1 | tee "$out"
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ] && ! grep -a '^\[ RUN      \]' "$out" >/dev/null; then
    how="status $status"
    [ "$status" -gt 128 ] && how="signal $((status - 128))"
    echo "run_test_program.sh: $(basename "$2") ended ($how) without starting a test: $*"
fi
rm -f "$out"
exit "$status"
