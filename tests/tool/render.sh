#!/usr/bin/env bash
# brindle render end to end: a picture is a PNG of the asked size, and every refusal (missing or
# bad input, bad options, an unwritable or failing output) prints why, exits non-zero and leaves
# no file behind. Usage: render.sh <brindle tool>
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
# refuses <expected exit> <text the message holds> <arguments...>: no out.png afterwards.
refuses() {
    local code=$1 text=$2
    shift 2
    "$tool" render "$@" 2>err.txt >/dev/null
    [ $? -eq "$code" ] || fail "render $* did not exit $code"
    grep -q -- "$text" err.txt || fail "render $*: no \"$text\" in: $(cat err.txt)"
    [ -e out.png ] && fail "render $* left out.png"
    no_temps
}

"$tool" primitive box -o box.obj >/dev/null || fail "primitive"
"$tool" render box.obj pic.png --size 64x48 --view top --wire >/dev/null || fail "render"
[ "$(head -c 8 pic.png | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "not a PNG"
[ "$(od -An -tu1 -j16 -N8 pic.png | tr -s ' ')" = " 0 0 0 64 0 0 0 48" ] || fail "not 64 x 48"
no_temps

refuses 1 "missing.obj" missing.obj out.png
printf 'v 0 0 0\nf 1 2 3\n' > bad.obj
refuses 1 "bad.obj:2:" bad.obj out.png
for size in 0x10 10 10x 10x10x 20000x10 -5x5 axb; do refuses 2 "--size wants WxH" box.obj out.png --size "$size"; done
refuses 2 "--view wants" box.obj out.png --view side
refuses 2 "unknown option" box.obj out.png --shiny
refuses 2 "missing value after" box.obj out.png --size
refuses 1 "no UVs for --uv-checker" box.obj out.png --uv-checker
"$tool" render box.obj missing/out.png 2>err.txt && fail "unwritable destination accepted"
grep -q "missing/out.png: cannot write" err.txt || fail "no folder error: $(cat err.txt)"

# A write that fails part way (the file-size limit stands in for a full disk) keeps the old picture.
cp pic.png old.png
(trap '' XFSZ; ulimit -f 1; "$tool" render box.obj pic.png --size 2000x2000) 2>err.txt && fail "a failed write reported success"
grep -q "pic.png: write failed" err.txt || fail "no write error: $(cat err.txt)"
cmp -s pic.png old.png || fail "a failed write touched the destination"
no_temps
echo "render: ok"
