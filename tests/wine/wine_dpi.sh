#!/bin/bash
# The Windows programs at 100 % and at 150 % under Wine: both .exe carry
# their application manifest (read back from the resources), and each
# program's window, started at 96 and then at 144 dpi (LogPixels in the
# prefix's registry), grows with the DPI: its size in pixels scales by 1.5,
# and the grey that a stopped server gives its lamps and its status label
# covers about 1.5 squared as many pixels. Wine lays out a program without
# the manifest at the screen's DPI as well, so there the size checks guard
# the dialog-unit and font arithmetic and the manifest check the manifest.
#
#   wine_dpi.sh WINDOWS_BIN_DIR [SCREENSHOT_DIR]
#
# With SCREENSHOT_DIR, each window goes there as <variant>-<dpi>dpi.png.
# The programs need a network adapter, so they run in a private network
# namespace with one end of a veth pair, as in the smoke test.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no Wine, X server or namespace).
# The work folder is removed after a pass unless WINE_DPI_KEEP is set.
set -u

readonly testTag=wine-dpi
binDir=${1:?folder of Kelvane.exe and Sorrel.exe}
shotDir=${2:-}
# shellcheck source=SCRIPTDIR/../support/monitor_env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/monitor_env.sh"

if [[ -z "${WINE_DPI_IN_NAMESPACE:-}" ]]; then
    require_tools wine wineserver Xvfb xwininfo import convert unshare nsenter ip iconv timeout \
        x86_64-w64-mingw32-windres
    require_built "$binDir/Kelvane.exe" "$binDir/Sorrel.exe"
    require_namespaces
    rerun_in_namespace WINE_DPI_IN_NAMESPACE "$(absolute "$binDir")" "$(absolute_folder "$shotDir")"
fi

prepare_namespace
start_work wine-dpi WINE_DPI_KEEP

# ---------------------------------------------------------------------------
# The manifest, as the loader finds it: resource type 24, id 1.
for exe in Kelvane.exe Sorrel.exe; do
    x86_64-w64-mingw32-windres --input-format=coff --output-format=rc "$binDir/$exe" \
        > "$work/$exe.rc" 2> "$work/$exe.windres" || fail "windres cannot read $exe"
    # windres writes the resource as quoted lines with doubled quotes; joined,
    # they are the manifest again.
    awk '/^1 24/ { inside = 1; next } inside && /^END/ { exit } inside' "$work/$exe.rc" |
        sed -n 's/^ *"\(.*\)"$/\1/p' | sed 's/\\n$//; s/""/"/g' | tr '\n' ' ' > "$work/$exe.manifest"
    manifest=$(cat "$work/$exe.manifest")
    ok=yes
    for needle in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
        '>PerMonitorV2, System</dpiAwareness>' '>true</dpiAware>' \
        'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"' \
        'requestedExecutionLevel level="asInvoker"'; do
        [[ $manifest == *"$needle"* ]] || { fail "$exe's manifest lacks $needle"; ok=no; }
    done
    [[ $ok == yes ]] && pass "$exe carries its manifest: controls v6, per-monitor v2 DPI, Windows 10/11"
done

# ---------------------------------------------------------------------------
make_device_namespace wdp 198.51.100.10 198.51.100.20

start_xvfb "$work" 1600x1200
make_wine_prefix "$work"

# regedit DPI: the screen's pixels per inch.
set_dpi() {
    local hex
    hex=$(printf '%08x' "$1")
    {
        printf '\xff\xfe'
        printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
            '[HKEY_CURRENT_USER\Control Panel\Desktop]' "\"LogPixels\"=dword:$hex" '' \
            '[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts]' \
            "\"LogPixels\"=dword:$hex" |
            iconv -f UTF-8 -t UTF-16LE
    } > "$work/dpi.reg"
    timeout 60 wine regedit /S "$work/dpi.reg" > /dev/null 2>&1 || fail "the registry at $1 dpi"
    # Every process reads the DPI when it starts.
    wineserver -k
    wineserver -w
}

window_of() {  # caption -> X window id
    xwininfo -root -tree 2> /dev/null | awk -v name="\"$1\": (" 'index($0, name) { print $1; exit }'
}

# measure VARIANT DPI: starts the program, records its window's width,
# height and grey pixels as "w h grey", and keeps its picture.
measure() {
    local variant=$1 dpi=$2 productName extension inputs outputs
    variant_facts "$variant"
    local folder=$work/$variant-$dpi
    mkdir -p "$folder"
    cp "$binDir/$productName.exe" "$folder/"
    (cd "$folder" && exec wine "$productName.exe") > "$folder/program.out" 2>&1 &
    local programPid=$! id=""
    for _ in $(seq 1200); do
        id=$(window_of "$productName")
        [[ -n "$id" ]] && break
        kill -0 "$programPid" 2> /dev/null || break
        sleep 0.1
    done
    if [[ -z "$id" ]]; then
        fail "$productName.exe showed no window at $dpi dpi"
        cat "$folder/program.out"
        wineserver -k
        return 1
    fi
    # Read back once its first paint is done.
    for _ in $(seq 50); do window_still "$id" && break; done
    local info geometry shot=$folder/window.png
    info=$(xwininfo -id "$id")
    field() { awk -F: -v key="$1" '$1 ~ key { gsub(/ /, "", $2); print $2 }' <<< "$info"; }
    geometry=$(field 'Width')x$(field 'Height')+$(field 'Absolute upper-left X')+$(field 'Absolute upper-left Y')
    import -window root -crop "$geometry" +repage "$shot"
    [[ -n "$shotDir" ]] && cp "$shot" "$shotDir/$variant-${dpi}dpi.png"
    # A stopped server's lamps and status label are grey (127, 127, 127).
    local grey
    grey=$(convert "$shot" -alpha off -fill black +opaque 'rgb(127,127,127)' \
        -fill white -opaque 'rgb(127,127,127)' -format '%[fx:round(mean*w*h)]' info:)
    echo "$(field 'Width') $(field 'Height') $grey" > "$folder/measure"
    wineserver -k
    wait "$programPid" 2> /dev/null
}

# within A B LOW HIGH: LOW <= B / A <= HIGH
within() { awk -v a="$1" -v b="$2" -v lo="$3" -v hi="$4" 'BEGIN { r = b / a; exit !(a > 0 && r >= lo && r <= hi) }'; }

for dpi in 96 144; do
    set_dpi "$dpi"
    measure kelvane "$dpi"
    measure sorrel "$dpi"
done

for variant in kelvane sorrel; do
    read -r w96 h96 g96 < "$work/$variant-96/measure" || continue
    read -r w144 h144 g144 < "$work/$variant-144/measure" || continue
    within "$w96" "$w144" 1.4 1.6 && within "$h96" "$h144" 1.4 1.6 &&
        pass "$variant's window grows from ${w96}x$h96 at 96 dpi to ${w144}x$h144 at 144 dpi" ||
        fail "$variant's window is ${w96}x$h96 at 96 dpi and ${w144}x$h144 at 144 dpi"
    within "$g96" "$g144" 1.9 2.9 &&
        pass "$variant's grey lamps and status cover $g96 pixels at 96 dpi and $g144 at 144 dpi" ||
        fail "$variant's grey lamps and status cover $g96 pixels at 96 dpi and $g144 at 144 dpi"
done

finish
