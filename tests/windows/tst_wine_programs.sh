#!/usr/bin/env bash
# The Windows programs as delivered, run under Wine on an Xvfb display in a private prefix, with
# COM3 on the simulated sensor's pseudo-terminal, and driven through their windows with
# quorin-xdrive as a user would: both programs from the portable zip, then the installer, the
# installed program and the uninstaller.
#
# What is not tested here: a port held by another program, since Wine lets two programs open one
# COM port at once; and the data path. Wine 8.0 never hands received bytes to Qt SerialPort
# (it posts no completion for WaitCommEvent on a COM port), so under Wine the value box stays
# empty whatever the sensor sends. That is Wine's limitation, not the program's, and the serial
# code is not changed to suit it; the same code above the port reads the same pseudo-terminal in
# the Linux tests of the programs.
#
#   tst_wine_programs.sh HOST_BUILD DIST
# HOST_BUILD: a Linux build folder of this project, for quorin-sensor, quorin-xdrive and
# quorin-layout. DIST: the folder holding Quorin-<version>-windows-x64.zip and
# Quorin-<version>-setup.exe (tools/windows/package.sh). With QUORIN_WINE_SCREENSHOTS=DIR set,
# a picture of each window, lamp lit, is saved there.
#
# Every wait is for a state; the bound on it only stops a hang, and is generous because Wine is
# slow on a loaded machine.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 HOST_BUILD DIST" >&2; exit 2; }
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -dpi 96 -noreset" \
        "$0" "$@"
fi
top=$(cd "$(dirname "$0")/../.." && pwd)
host=$(cd "$1" && pwd)
dist=$(cd "$2" && pwd)
sensor=$host/tools/sensor/quorin-sensor
xdrive=$host/tools/xdrive/quorin-xdrive
layout=$host/tools/layout/quorin-layout
zip=$(ls "$dist"/Quorin-*-windows-x64.zip)
setup=$(ls "$dist"/Quorin-*-setup.exe)
Bound=300 # seconds
Title="Lettura sensore"
Lit="#00FF00"
Unlit="#FF0000"

work=$(mktemp -d "${TMPDIR:-/tmp}/quorin-wine.XXXXXX")
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko prompts, and no menu entries made on the host for what the installer adds.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
sensorPid=
cleanup() {
    [ -n "$sensorPid" ] && kill "$sensorPid" 2>/dev/null
    wineserver -k > /dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
pass() { echo "PASS: $*"; }

waitFor() {
    local what=$1
    shift
    local end=$((SECONDS + Bound))
    until "$@"; do
        [ $SECONDS -lt $end ] || fail "$what: not so within $Bound s"
        sleep 0.2
    done
}

# The id of the shown window titled "Lettura sensore" of this size; with "other", of any other
# size (the report dialog).
windowOf() {
    "$xdrive" list | awk -v w="$1" -v h="$2" -v other="${3:-}" -v title="$Title" '{
        t = $0; sub(/^[^ ]+ [^ ]+ [^ ]+ ?/, "", t)
        if (t == title && ((other == "") == ($2 == w && $3 == h))) { print $1; exit }
    }'
}
hasWindow() { [ -n "$(windowOf "$@")" ]; }

# The colour, #RRGGBB, of one pixel of a window.
pixel() {
    import -silent -window "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- \
        | grep -o '#[0-9A-F]\{6\}' | head -1
}
lampIs() {
    # shellcheck disable=SC2086 # "X Y"
    [ "$(pixel "$window" ${at[Shape1]})" = "$1" ]
}

# The processes, other than the sensor, that hold the pseudo-terminal open.
holders() {
    local fd
    for fd in /proc/[0-9]*/fd/*; do
        [ "$(readlink "$fd" 2>/dev/null)" = "$pty" ] || continue
        fd=${fd#/proc/}
        [ "${fd%%/*}" = "$sensorPid" ] || echo "${fd%%/*}"
    done | sort -u
}
ptyHeld() { [ -n "$(holders)" ]; }
ptyFree() { [ -z "$(holders)" ]; }

ended() { ! kill -0 "$1" 2>/dev/null || [ "$(ps -o stat= -p "$1" | cut -c1)" = Z ]; }
statusOf() {
    local status=0
    wait "$1" || status=$?
    echo "$status"
}

# Where the window is and where its controls sit, from the programs' own layout tables.
declare -A at
readLayout() {
    at=()
    local name x y
    while read -r name x y; do
        if [ "$name" = Form1 ]; then
            size=("$x" "$y")
        else
            at[$name]="$x $y"
        fi
    done < <("$layout" "$1")
}
click() {
    # shellcheck disable=SC2086 # "X Y"
    "$xdrive" click "$window" ${at[$1]}
}

start() { # PROGRAM.exe, from the current folder or a Windows path
    wine "$1" 2> "$work/stderr" &
    reader=$!
}

# Starts a program with COM3 on the pty and waits for its window, lamp lit, port held.
startWithPort() {
    start "$1"
    waitFor "$1 shows its window" hasWindow "${size[@]}"
    window=$(windowOf "${size[@]}")
    waitFor "$1 lights the lamp" lampIs "$Lit"
    waitFor "$1 holds COM3's pseudo-terminal open" ptyHeld
}

exitsWith() { # STATUS WHAT
    waitFor "$2 ends" ended "$reader"
    local status
    status=$(statusOf "$reader")
    [ "$status" = "$1" ] || fail "$2 ended with status $status, not $1"
}

# One program from the portable folder, through a whole session.
session() {
    local exe=$1 shot=$2
    readLayout "$3"

    startWithPort "$exe"
    if [ -n "${QUORIN_WINE_SCREENSHOTS:-}" ]; then
        import -silent -window "$window" "$QUORIN_WINE_SCREENSHOTS/$shot"
    fi
    pass "$exe opens its window with the lamp lit and holds COM3 open"

    click Command1
    waitFor "Blocca la ricezione turns the lamp red" lampIs "$Unlit"
    waitFor "Blocca la ricezione releases COM3" ptyFree
    pass "$exe: Blocca la ricezione turns the lamp red and releases COM3"

    click Command2
    waitFor "Ricevi i dati lights the lamp" lampIs "$Lit"
    waitFor "Ricevi i dati opens COM3 again" ptyHeld
    pass "$exe: Ricevi i dati lights the lamp and opens COM3 again"

    click Command3
    exitsWith 0 "$exe after Esci"
    waitFor "$exe lets COM3 go" ptyFree
    pass "$exe: Esci ends it with status 0"

    startWithPort "$exe"
    "$xdrive" close "$window"
    exitsWith 0 "$exe after its window is closed"
    waitFor "$exe lets COM3 go" ptyFree
    pass "$exe: closing the window ends it"
}

echo "== a new Wine prefix"
# One wineserver for the whole test, so that Wine maps its serial ports only once, at the start,
# and never again over the link to the pseudo-terminal made below.
"$top/tools/windows/wine-prefix.sh" "$WINEPREFIX" > "$work/prefix.log" 2>&1 \
    || { cat "$work/prefix.log"; fail "a new Wine prefix"; }
wineserver -p > /dev/null 2>&1
# Wine's services, which map the serial ports, start with the first program.
wine cmd /c exit > /dev/null 2>&1 || fail "Wine runs no program"

"$sensor" --pty > "$work/pty" 2> /dev/null &
sensorPid=$!
waitFor "the sensor's pseudo-terminal" test -s "$work/pty"
pty=$(head -1 "$work/pty")
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com3"

echo "== the portable zip"
unzip -q "$zip" -d "$work/zip"
cd "$work/zip"/Quorin-*
session Quorin.exe quorin-windows.png standard
session Quorind.exe quorind-windows.png didactic

rm "$WINEPREFIX/dosdevices/com3"
for program in "Quorin.exe standard" "Quorind.exe didactic"; do
    read -r exe form <<< "$program"
    readLayout "$form"
    start "$exe"
    waitFor "$exe reports the missing COM3" hasWindow "${size[@]}" other
    hasWindow "${size[@]}" && fail "$exe showed its window without COM3"
    grep -q "COM3.*Device Manager" "$work/stderr" \
        || fail "the report of a missing COM3: $(cat "$work/stderr")"
    "$xdrive" close "$(windowOf "${size[@]}" other)"
    exitsWith 1 "$exe without COM3"
    pass "$exe without COM3: $(head -1 "$work/stderr") Status 1, no window."
done
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com3"

echo "== the installer"
cd "$work"
wine "$setup" /S || fail "the silent install ended with status $?"
installed="$WINEPREFIX/drive_c/Program Files/Quorin"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quorin"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorin'
for file in "$installed/Quorin.exe" "$installed/Quorind.exe" "$installed/uninstall.exe" \
    "$menu/Quorin.lnk" "$menu/Quorind.lnk"; do
    [ -f "$file" ] || fail "the installer did not make $file"
done
wine reg query "$key" /reg:64 > "$work/uninstall-key"
for value in DisplayName DisplayIcon DisplayVersion Publisher UninstallString \
    QuietUninstallString InstallLocation EstimatedSize NoModify NoRepair; do
    grep -q "^ *$value " "$work/uninstall-key" || fail "the uninstall key lacks $value"
done
pass "the installer installs both programs, their Start-menu entries and the uninstall key"

wrestool -x -t 14 "$installed/Quorin.exe" > "$work/icon.ico"
icotool -l "$work/icon.ico" > "$work/icons"
for edge in 32 16; do
    grep -q -- "--width=$edge --height=$edge --bit-depth=4 --palette-size=16" "$work/icons" \
        || fail "Quorin.exe has no 16-colour $edge x $edge icon: $(cat "$work/icons")"
done
# VS_FIXEDFILEINFO: its signature, its layout version, then file and product version, each as
# two little-endian 32-bit words: 1.0.0.0 is 0x00010000, 0x00000000.
wrestool -x --raw -t 16 "$installed/Quorin.exe" | od -An -v -tx1 | tr -d ' \n' \
    | grep -q 'bd04effe00000100''0000010000000000''0000010000000000' \
    || fail "Quorin.exe does not carry file and product version 1.0.0.0"
pass "the installed Quorin.exe carries its icon, 16 colours at 32 and 16, and version 1.0.0.0"

readLayout standard
startWithPort 'C:\Program Files\Quorin\Quorin.exe'
click Command3
exitsWith 0 "the installed Quorin"
pass "the installed Quorin.exe starts from its folder, opens COM3 and ends with Esci"

uninstall=$(sed -n 's/^ *QuietUninstallString *REG_SZ *//p' "$work/uninstall-key" | tr -d '\r')
[ "$uninstall" = '"C:\Program Files\Quorin\uninstall.exe" /S' ] \
    || fail "unexpected QuietUninstallString: $uninstall"
wine 'C:\Program Files\Quorin\uninstall.exe' /S
uninstalled() {
    [ ! -e "$installed" ] && [ ! -e "$menu" ] && ! wine reg query "$key" /reg:64 > /dev/null 2>&1
}
# The uninstaller runs on from a copy of itself, so wait for what it leaves.
waitFor "the uninstaller removes the programs, their entries and the key" uninstalled
pass "the uninstaller removes it all"
