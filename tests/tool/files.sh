#!/usr/bin/env bash
# The tool's file handling end to end: outputs appear whole or not at all (converting a file onto
# itself, a failing write, a terminating signal), extra arguments are refused, and the import's
# warnings come before its final error. Usage: files.sh <brindle tool>
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$tool" primitive torus -o a.obj >/dev/null || fail "primitive"
cp a.obj a.saved
"$tool" convert a.obj a.obj >/dev/null || fail "convert onto itself"
[ "$("$tool" info a.obj | sed 1d)" = "$("$tool" info a.saved | sed 1d)" ] || fail "convert onto itself changed the mesh"
no_temps

# A write that fails part way (the file-size limit stands in for a full disk) leaves the old file.
cp a.saved a.obj
(trap '' XFSZ; ulimit -f 4; "$tool" convert a.saved a.obj) 2>err.txt && fail "a failed write reported success"
grep -q "a.obj: write failed" err.txt || fail "no write error: $(cat err.txt)"
cmp -s a.obj a.saved || fail "a failed write touched the destination"
no_temps

# SIGTERM while the output is open (the input is a FIFO nobody writes) removes the temporary.
mkfifo in.obj
"$tool" convert in.obj b.obj 2>/dev/null &
pid=$!
for _ in $(seq 100); do ls -A | grep -q '^\.b\.obj\.tmp-' && break; sleep 0.05; done
ls -A | grep -q '^\.b\.obj\.tmp-' || fail "no temporary while converting"
kill -TERM "$pid"
wait "$pid"
[ $? -eq 143 ] || fail "SIGTERM did not end the run as a signal"
[ -e b.obj ] && fail "an interrupted run made its destination"
no_temps

# An output folder that does not exist fails before the input is read.
"$tool" convert in.obj missing/c.obj 2>err.txt && fail "unwritable destination accepted"
grep -q "missing/c.obj: cannot write" err.txt || fail "no folder error: $(cat err.txt)"

for cmd in info check; do
    "$tool" $cmd a.obj extra >/dev/null 2>&1
    [ $? -eq 2 ] || fail "$cmd accepted an extra argument"
done

printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 2 3\n' > skipped.obj
"$tool" info skipped.obj 2>err.txt && fail "a file without faces imported"
[ "$(grep -c ": warning: " err.txt)" = 1 ] && tail -1 err.txt | grep -q "no faces left" ||
    fail "warnings not before the final error: $(cat err.txt)"
echo "tool file handling: ok"
