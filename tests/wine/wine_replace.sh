#!/bin/bash
# The Windows file layer under Wine: fs_replace_probe.exe replaces a file in
# one step (MoveFileExW with replace and write-through over a flushed new
# file beside it), leaves a file held without sharing whole, leaves nothing
# behind, and refuses names that CP932 cannot hold exactly.
#
#   wine_replace.sh WINDOWS_BIN_DIR
#
# Exit status: 0 passed, 1 failed, 77 skipped (no Wine or X server).
# The work folder is removed after a pass unless WINE_REPLACE_KEEP is set.
set -u

readonly testTag=wine-replace
binDir=${1:?folder of fs_replace_probe.exe}
# shellcheck source=SCRIPTDIR/../support/monitor_env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/monitor_env.sh"

require_tools wine wineserver Xvfb xwininfo timeout
require_built "$binDir/fs_replace_probe.exe"
start_work wine-replace WINE_REPLACE_KEEP
start_xvfb "$work"
make_wine_prefix "$work"

mkdir "$work/files"
# The folder as Windows paths see it, through Wine's drive Z:.
timeout 60 wine "$(absolute "$binDir/fs_replace_probe.exe")" "Z:${work//\//\\}\\files" \
    > "$work/probe.out" 2>&1
status=$?
grep -E '^(ok|FAIL) ' "$work/probe.out" | sed 's/^ok    /ok    replace probe: /; s/^FAIL  /FAIL  replace probe: /'
failures=$((failures + $(grep -c '^FAIL ' "$work/probe.out")))
if [[ $status != 0 ]] && ! grep -q '^FAIL ' "$work/probe.out"; then
    fail "fs_replace_probe.exe ended with status $status"
    cat "$work/probe.out"
fi
finish
