#!/usr/bin/env bash
# brindle op, ops, subdivide, reduce and uv end to end: chains and selections do what they say,
# every kind of bad request fails with its message and a non-zero exit, and a failed run leaves
# the destination as it was. Usage: ops.sh <brindle tool>
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
faces() { "$tool" info "$1" | sed -n 's/.* faces \([0-9]*\),.*/\1/p'; }

"$tool" primitive box -o box.obj >/dev/null || fail "primitive"
"$tool" ops | grep -q '^moveVertex  *TpolyMoveVertexFty  *vertices' || fail "ops list: $("$tool" ops | head -3)"
"$tool" ops extrudeFacet | grep -q '^  Offset  *float  *0 ' || fail "ops table: $("$tool" ops extrudeFacet)"

# A chain: the top face (facing +y) extruded, then every face triangulated.
"$tool" op box.obj a.obj extrudeFacet --faces facing:0,1,0 --Offset 0.1 then triangulate >out.txt || fail "chain"
grep -q "step 1 extrudeFacet on 1 faces" out.txt || fail "facing selection: $(cat out.txt)"
[ "$(faces a.obj)" = 20 ] || fail "extrude + triangulate gave $(faces a.obj) faces"
"$tool" check a.obj >/dev/null || fail "chain result inconsistent"
# Ids, ranges and conversion: two neighbouring faces read as vertices are their six corners.
"$tool" op box.obj b.obj moveVertex --faces 0-1 --Trans=0,1,0 | grep -q "on 6 vertices" || fail "face ids to vertices"
"$tool" op box.obj b.obj delFacet --faces 0,2 >/dev/null && [ "$(faces b.obj)" = 4 ] || fail "id list"
"$tool" op b.obj c.obj closeBorder --edges border >/dev/null && [ "$(faces c.obj)" = 6 ] || fail "border edges"
# A selection read after earlier steps changed the faces sees them as they are now: with two
# neighbouring faces deleted one by one, the rim of the rest is one loop of 6 vertices.
"$tool" op box.obj d.obj delFacet --faces 1 then delFacet --faces 0 then moveVertex --edges border --Trans 0,1,0 \
    >out.txt || fail "border after edits"
grep -q "step 3 moveVertex on 6 vertices" out.txt || fail "border after edits: $(cat out.txt)"
"$tool" check d.obj >/dev/null || fail "border after edits: result inconsistent"

# Bad requests: usage errors exit 2 before anything is read, run-time errors exit 1; none writes.
cp box.obj keep.obj
expect() {  # expect <status> <message> <arguments...>
    local status=$1 message=$2
    shift 2
    "$tool" "$@" >/dev/null 2>err.txt
    [ $? -eq "$status" ] || fail "$* did not exit $status: $(cat err.txt)"
    grep -q -- "$message" err.txt || fail "$*: no '$message' in: $(cat err.txt)"
    cmp -s keep.obj box.obj || fail "$* touched its destination"
    no_temps
}
expect 2 "unknown operation 'nothing'" op box.obj keep.obj nothing
expect 2 "moveVertex has no parameter 'Bogus'" op box.obj keep.obj moveVertex --Bogus 1
expect 2 "wants a value of type vector" op box.obj keep.obj moveVertex --Trans 1,x,2
expect 2 "wants a value" op box.obj keep.obj moveVertex --Trans
expect 2 "'then' wants an operation" op box.obj keep.obj triangulate then
expect 2 "takes no selection" op box.obj keep.obj mirror --faces all
expect 1 "face ids 6 out of range (6 faces)" op box.obj keep.obj triangulate --faces 6
expect 1 "bad selection term" op box.obj keep.obj triangulate --faces top
expect 1 "empty selection" op box.obj keep.obj closeBorder --edges border
expect 1 "step 2 (subdFacet) failed; nothing written" op box.obj keep.obj triangulate then subdFacet --Divisions 0
expect 1 "unknown operation" ops nothing

# The named commands.
"$tool" subdivide box.obj s.obj --levels 2 >/dev/null && [ "$(faces s.obj)" = 96 ] || fail "subdivide"
"$tool" subdivide box.obj s.obj --levels x >/dev/null 2>&1; [ $? -eq 2 ] || fail "subdivide took a bad level"
"$tool" reduce s.obj r.obj --percent 50 >/dev/null && [ "$(faces r.obj)" -lt 96 ] || fail "reduce"
"$tool" check r.obj >/dev/null || fail "reduce result inconsistent"
printf 'v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n' > bare.obj
"$tool" uv bare.obj u.obj --method planar >/dev/null || fail "uv"
"$tool" info u.obj | grep -q 'UV set "map1": 4 points' || fail "uv made no set: $("$tool" info u.obj)"
echo "tool operations: ok"
