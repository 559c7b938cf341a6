#!/bin/bash
# Runs the Windows conformance program under Wine, in a Wine prefix of its
# own on an X server of its own, and ends that prefix's Wine server after.
#
#   run_under_wine.sh PROGRAM.exe [ARGS...]
#
# Exit status: the program's, or 77 (skipped) without Wine, Xvfb or the
# program (a cross build that has not been built).
set -u

program=${1:?the Windows conformance program}
shift
command -v wine > /dev/null || { echo "skipped: no Wine"; exit 77; }
[[ -f "$program" ]] || { echo "skipped: $program is not built"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/ui-conformance-wine.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
# No downloads of Wine's optional runtimes.
export WINEDLLOVERRIDES="mscoree,mshtml="
end() {
    WINEPREFIX=$work/prefix wineserver -k 2> /dev/null
    rm -rf "$work"
}
trap end EXIT

here=$(dirname "${BASH_SOURCE[0]}")
"$here/run_on_xvfb.sh" bash -c '
    timeout 120 wine wineboot --init > "$0/wineboot.log" 2>&1 || { cat "$0/wineboot.log"; exit 1; }
    timeout 240 wine "$@"
' "$work" "$program" "$@"
