# Sourced by the tool's scripts: $tool is the tool under test, the script runs in a fresh folder
# removed at exit, fail ends it with a message, no_temps fails when a temporary was left behind.
set -u
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }
no_temps() { ! ls -A | grep -q '\.tmp-' || fail "temporary left behind: $(ls -A)"; }
