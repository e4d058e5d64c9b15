#!/usr/bin/env bash
# The Windows programs as delivered, run under Wine 10 (wine10.sh) on an Xvfb
# display in a private prefix, with COM3 on the simulated sensor's pseudo-terminal, and driven
# through their windows as a user would: the readers from the portable zip, receiving, and
# Quorinlab recording and saving a CSV; then the installer, upgrades that fail (a held file, an
# antivirus that takes a new file or blocks an older one's way back) and one that succeeds, the
# installed program and the uninstaller.
#
# COM3's pseudo-terminal gets modem lines from ptymodem.c, preloaded into Wine: a pty has none,
# and without them Wine cancels every wait for received bytes. It also records what the program
# sets, so that the lines the program leaves after opening COM3 can be checked.
#
#   tst_wine_programs.sh HOST_BUILD DIST SCRIPT HOLDFILE UIADUMP
# HOST_BUILD: a Linux build folder of this project, for quorin-sensor, quorin-layout,
# quorin-wm-close and the pty library. DIST: the folder holding Quorin-<version>-windows-x64.zip and
# Quorin-<version>-setup.exe (tools/windows/package.sh). SCRIPT: the installer's script, as the
# Windows build writes it, for an older version's installer. HOLDFILE: quorin-holdfile.exe
# (holdfile.c). UIADUMP: quorin-uia-dump.exe (uia-dump.cpp), a UI Automation client
# that reads the window as a Windows screen reader does. With QUORIN_WINE_SCREENSHOTS=DIR set, a
# picture of each program receiving is saved there. The host build's quorin-antivirus
# (antivirus.c) plays an antivirus during upgrades; it needs root, as the Wine 10 root does.
#
# Every wait is for a state; the bound on it only stops a hang, and is generous because Wine is
# slow on a loaded machine.
set -euo pipefail
[ $# -eq 5 ] || { echo "usage: $0 HOST_BUILD DIST SCRIPT HOLDFILE UIADUMP" >&2; exit 2; }
top=$(cd "$(dirname "$0")/../.." && pwd)
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -dpi 96 -noreset" \
        "$0" "$@"
fi
# Every Wine command of the test in one mount namespace with the Wine 10 root (wine10.sh).
if [ -z "${QUORIN_WINE10_NEW:-}" ]; then
    exec "$(dirname "$0")/wine10.sh" --enter "$0" "$@"
fi
host=$(cd "$1" && pwd)
dist=$(cd "$2" && pwd)
script=$3
holdfile=$4
uiaDump=$5
sensor=$host/tools/sensor/quorin-sensor
layout=$host/tests/support/quorin-layout
wmClose=$host/tests/support/quorin-wm-close
shim=$host/tests/serial/libquorin-ptymodem.so
antivirus=$host/tests/windows/quorin-antivirus
zip=$(ls "$dist"/Quorin-*-windows-x64.zip)
setup=$(ls "$dist"/Quorin-*-setup.exe)
Bound=300 # seconds
Title="Lettura sensore"
Lit="#00FF00"
Unlit="#FF0000"
# What the value box shows for the sensor's codes 128 and 200: (b - 1) * 100 / 253, in the C
# locale.
Code1=128 Value1=50.2
Code2=200 Value2=78.7
# The reports, as extended regular expressions.
CannotOpen='Impossibile aprire la porta seriale 3 \(COM3\):'
Stopped='La porta seriale 3 \(COM3\) ha smesso di funzionare: .+\. Il dispositivo potrebbe essere stato scollegato: ricollegarlo e avviare di nuovo il programma\.'

work=$(mktemp -d "${TMPDIR:-/tmp}/quorin-wine.XXXXXX")
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all LANG=C.UTF-8
# No Mono or Gecko prompts, and no menu entries made on the host for what the installer adds.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
Wine=(env LD_PRELOAD="$shim" "$top/tests/windows/wine10.sh" wine)
wineserver() { "$top/tests/windows/wine10.sh" wineserver "$@"; }
sensorPid=
holderPid=
antivirusPid=
watched=
cleanup() {
    [ -n "$sensorPid" ] && kill "$sensorPid" 2>/dev/null
    [ -n "$holderPid" ] && kill "$holderPid" 2>/dev/null
    [ -n "$antivirusPid" ] && kill "$antivirusPid" 2>/dev/null
    [ -n "$watched" ] && umount -l "$watched"
    # A wineserver that is killed may print its whole state.
    wineserver -k > /dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [ -z "${shown+set}" ] || echo "The value box last read: '$shown'" >&2
    [ -z "${uiaSeen+set}" ] || printf 'UI Automation last read:\n%s\n' "$uiaSeen" >&2
    if [ -n "${window:-}" ]; then
        local shot=${TMPDIR:-/tmp}/quorin-wine-failure.png
        timeout 60 import -silent -window "$window" "$shot" 2> /dev/null \
            && echo "The window at that moment: $shot" >&2
    fi
    exit 1
}
pass() { echo "PASS ($SECONDS s): $*"; }

# shellcheck source=../support/waitfor.sh
. "$(dirname "$0")/../support/waitfor.sh"

# The id of the shown window titled "Lettura sensore" of this size; with "other", of any other
# size (the report dialog).
windowOf() {
    local want=main kind id size
    [ -z "${3:-}" ] || want=other
    for id in $(xdotool search --onlyvisible --name "^$Title\$" 2> /dev/null); do
        # A window that has just gone has no size.
        size=$(xdotool getwindowgeometry "$id" 2> /dev/null | sed -n 's/^ *Geometry: //p' || true)
        [ -n "$size" ] || continue
        kind=other
        [ "$size" != "$1x$2" ] || kind=main
        if [ "$kind" = "$want" ]; then
            echo "$id"
        fi
    done
}
hasWindow() { [ -n "$(windowOf "$@")" ]; }

# The colour, #RRGGBB, of one pixel of a window.
pixel() {
    timeout 60 import -silent -window "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- \
        | grep -o '#[0-9A-F]\{6\}' | head -1
}
lampIs() {
    # shellcheck disable=SC2086 # "X Y"
    [ "$(pixel "$window" ${at[Shape1]})" = "$1" ]
}

# Whether a UI Automation client, as a Windows screen reader is one, reads each LINE among the
# window's controls: `TYPE "NAME" "DESCRIPTION"` (uia-dump.cpp). Wine 10 gives a client the
# controls' types, names and descriptions, not their values.
uiaHas() { # LINE...
    local line
    uiaSeen=$("${Wine[@]}" "$uiaDump" 2> /dev/null | tr -d '\r') || return 1
    for line in "$@"; do
        grep -qxF -- "$line" <<< "$uiaSeen" || return 1
    done
}

# The simulated sensor, sending one code over and over on a new pseudo-terminal that is COM3.
startSensor() {
    [ -z "$sensorPid" ] || stopSensor
    "$sensor" --pty --signal constant --code "$1" > "$work/pty" 2> /dev/null &
    sensorPid=$!
    waitFor "the sensor's pseudo-terminal" test -s "$work/pty"
    pty=$(head -1 "$work/pty")
    rm "$work/pty"
    ln -sfn "$pty" "$WINEPREFIX/dosdevices/com3"
}
# Closes the far end of COM3.
stopSensor() {
    kill "$sensorPid"
    wait "$sensorPid" 2>/dev/null || true
    sensorPid=
}

# The processes, other than the sensor, that hold the pseudo-terminal open; Wine's, which have
# the root for theirs, name it by the path of their /dev in the root.
holders() {
    find /proc/[0-9]*/fd \( -lname "$pty" -o -lname "$QUORIN_WINE10_NEW$pty" \) 2>/dev/null \
        | cut -d/ -f3 | sort -u | grep -vx "${sensorPid:-0}" || true
}
ptyHeld() { [ -n "$(holders)" ]; }
ptyFree() { [ -z "$(holders)" ]; }

ended() { ! kill -0 "$1" 2>/dev/null || [ "$(ps -o stat= -p "$1" | cut -c1)" = Z ]; }

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
    xdotool mousemove --window "$window" ${at[$1]} click 1
}

# The text of a box, copied to the clipboard with Ctrl+A, Ctrl+C once it has the keyboard.
# Wine takes the clipboard a while after Ctrl+C, longer on a busy machine: the clipboard holds a
# text of the test's own until then, and the box's text once Wine has it.
boxText() {
    click "$1"
    local mark="quorin-not-copied-$((++copies))" text end=$((SECONDS + 10))
    printf %s "$mark" | timeout 30 xsel --clipboard --input
    timeout 30 xdotool key --clearmodifiers ctrl+a ctrl+c
    while text=$(timeout 30 xsel --clipboard --output 2> /dev/null || true)
        [ "$text" = "$mark" ] && [ $SECONDS -lt $end ]; do
        sleep 0.2
    done
    [ "$text" = "$mark" ] || printf %s "$text"
}
copies=0
valueIs() {
    shown=$(boxText Text1)
    [ "$shown" = "$1" ]
}

start() { # PROGRAM.exe, from the current folder or a Windows path
    lines=$work/lines.$((++runs))
    QUORIN_MODEM_LOG=$lines "${Wine[@]}" "$1" 2> "$work/stderr" &
    reader=$!
}
runs=0

# Starts a program with COM3 on the pty and waits for its window, lamp lit, port held.
startWithPort() {
    start "$1"
    waitFor "$1 shows its window" hasWindow "${size[@]}"
    window=$(windowOf "${size[@]}" | head -1)
    waitFor "$1 lights the lamp" lampIs "$Lit"
    waitFor "$1 holds COM3's pseudo-terminal open" ptyHeld
}

exitsWith() { # STATUS WHAT
    waitFor "$2 ends" ended "$reader"
    # Here, not in a subshell, which cannot wait for this shell's children.
    local status=0
    wait "$reader" || status=$?
    [ "$status" = "$1" ] || fail "$2 ended with status $status, not $1: $(cat "$work/stderr")"
}

# One report, in a dialog and, as the extended regular expression REPORT, on standard error;
# no window; status 1 once the dialog is closed.
reportsOnce() { # WHAT REPORT
    waitFor "$1: the report" hasWindow "${size[@]}" other
    local dialogs
    dialogs=$(windowOf "${size[@]}" other)
    [ "$(wc -l <<< "$dialogs")" -eq 1 ] || fail "$1: more than one report: $dialogs"
    # A Windows program ends its lines with CR LF.
    [ "$(tr -d '\r' < "$work/stderr" | grep -c -x -E "$2")" -eq 1 ] \
        || fail "$1: not one report \"$2\" on stderr: $(cat "$work/stderr")"
    "$wmClose" "$dialogs"
    exitsWith 1 "$1"
    hasWindow "${size[@]}" && fail "$1: the window is still shown"
    pass "$1: $(head -1 "$work/stderr") Status 1."
}

# Ends the program shown with Esci: status 0.
esci() { click Command3; exitsWith 0 "$1 after Esci"; }
# The installed Quorin, started from its folder with COM3 on the sensor.
startInstalled() { readLayout standard; startSensor "$Code1"; startWithPort "$chosen\\Quorin.exe"; }

# One program from the portable folder, through a whole session with the sensor.
session() {
    local exe=$1 shot=$2 layoutName=$3
    readLayout "$layoutName"

    startSensor "$Code1"
    startWithPort "$exe"
    # DTR and RTS as the program left them once COM3 was open, as ptymodem.c recorded them.
    local state
    state=$(tail -n 1 "$lines" 2>/dev/null || echo "DTR 1 RTS 1 (never set)")
    [ "$state" = "DTR 0 RTS 0" ] || fail "$exe leaves the lines $state after opening COM3"
    pass "$exe opens its window with the lamp lit, holds COM3 open, DTR and RTS off"
    local controls=('Button "Ricevi i dati" ""' 'Button "Blocca la ricezione" ""'
        'Button "Esci" ""' 'Custom "Porta aperta" "Stato della porta"'
        'Edit "Valore sensore" "vuoto, scala da 0 a 100"')
    local echoBox="Byte ricevuti, dal più recente; qui i codici degli ultimi 8"
    [ "$layoutName" = standard ] || controls+=("Edit \"Dati ricevuti\" \"$echoBox\"")
    waitFor "$exe: its controls through UI Automation" uiaHas "${controls[@]}"
    pass "$exe: a UI Automation client reads its controls' Italian names and descriptions"

    click Command2
    waitFor "$exe shows $Value1" valueIs "$Value1"
    waitFor "$exe: the value box's description" uiaHas 'Edit "Valore sensore" "scala da 0 a 100"'
    pass "$exe: Ricevi i dati shows $Value1 for the code $Code1; the box is no longer told empty"
    if [ "$layoutName" = didactic ]; then
        # Every byte one character, up to the box's 2048, the newest.
        local text
        full() { text=$(boxText Text9); [ ${#text} -ge 2048 ]; }
        waitFor "$exe: Dati ricevuti fills up" full
        [ ${#text} -eq 2048 ] || fail "$exe: Dati ricevuti holds ${#text} characters, not 2048"
        # Windows-1252: 255 is ÿ, 128 the euro sign.
        [ -z "${text//[ÿ€]/}" ] || fail "$exe: Dati ricevuti holds other bytes: $text"
        pass "$exe: Dati ricevuti fills with what is received, up to 2048 characters"
    fi
    if [ -n "${QUORIN_WINE_SCREENSHOTS:-}" ]; then
        click Text1
        timeout 30 xdotool key End # nothing selected
        import -silent -window "$window" "$QUORIN_WINE_SCREENSHOTS/$shot"
    fi

    click Command1
    waitFor "Blocca la ricezione turns the lamp red" lampIs "$Unlit"
    waitFor "Blocca la ricezione releases COM3" ptyFree
    waitFor "$exe: the lamp's name" uiaHas 'Custom "Porta chiusa" "Stato della porta"'
    pass "$exe: Blocca la ricezione turns the lamp red, named Porta chiusa, and releases COM3"

    startSensor "$Code2"
    click Command2
    waitFor "Ricevi i dati lights the lamp" lampIs "$Lit"
    waitFor "Ricevi i dati opens COM3 again" ptyHeld
    waitFor "$exe shows $Value2" valueIs "$Value2"
    pass "$exe: Ricevi i dati opens COM3 again and shows $Value2 for the code $Code2"
    if [ "$layoutName" = didactic ]; then
        # Code 200 is È, and 255 ÿ. Were the newest read put behind the others, the
        # box, full of the first stream, would keep that at its front for good.
        newestInFront() {
            local front
            front=$(boxText Text9 | head -c 4)
            [ "$front" = ÿÈ ] || [ "$front" = Èÿ ]
        }
        waitFor "$exe: the newest read in front of Dati ricevuti" newestInFront
        pass "$exe: Dati ricevuti shows the newest read in front"
    fi

    stopSensor
    reportsOnce "$exe, the far end of COM3 closed while it waits" "$Stopped"

    startSensor "$Code1"
    startWithPort "$exe"
    esci "$exe"
    waitFor "$exe lets COM3 go" ptyFree
    pass "$exe: Esci ends it with status 0 and lets COM3 go"
}

# Quorinlab from the portable folder, on the data path: it records points from COM3, written to
# its journal in the user's AppData as they come, and saves them where the user says, through
# Windows's own file dialog; saved, it closes without a question.
labSession() {
    local exe=Quorinlab.exe title='^Registrazione sensore$'
    local saved='C:\Scuola\dati.csv' csv=$WINEPREFIX/drive_c/Scuola/dati.csv
    mkdir -p "$(dirname "$csv")"
    startSensor "$Code1"
    start "$exe"
    labWindow() { xdotool search --onlyvisible --name "$title" 2> /dev/null; }
    waitFor "$exe shows its window" labWindow
    window=$(labWindow | head -1)
    waitFor "$exe holds COM3's pseudo-terminal open" ptyHeld
    # A click on its graph gives it the keyboard; Alt+A is "Avvia la registrazione".
    xdotool mousemove --window "$window" 150 120 click 1
    timeout 30 xdotool key --clearmodifiers alt+a
    points() {
        cat "$WINEPREFIX"/drive_c/users/*/AppData/Local/Quorinlab/*.journal 2> /dev/null \
            | grep -c "^point [0-9]* [0-9]* [0-9]* $Code1 $Code1 " || true
    }
    enough() { [ "$(points)" -ge 3 ]; }
    waitFor "$exe: points of code $Code1 in its journal" enough
    pass "$exe records points from COM3, each written to its journal in AppData as it closes"
    # "Ferma la registrazione", then "Salva i dati…" into the file dialog's name box.
    timeout 30 xdotool key --clearmodifiers alt+f alt+s
    dialog() { xdotool search --onlyvisible --name '^Salva i dati$' 2> /dev/null; }
    waitFor "$exe: the file dialog" dialog
    # The name box holds a name of the program's choosing, which the typed path replaces; keys
    # sent before the dialog has the keyboard are lost, and then sent again.
    local nextTry=0
    typePath() {
        if [ $SECONDS -ge $nextTry ] && dialog > /dev/null; then
            timeout 30 xdotool key --clearmodifiers Home shift+End
            timeout 30 xdotool type --delay 30 "$saved"
            timeout 30 xdotool key Return
            nextTry=$((SECONDS + 5))
        fi
        test -s "$csv"
    }
    waitFor "$exe saves $saved" typePath
    # The C locale, as Wine's: commas between fields, decimal points; the BOM first.
    # (128 - 1) * 100 / 253 = 50.197...
    local header rows
    header=$(head -1 "$csv" | tr -d '\r')
    [ "$header" = $'\xEF\xBB\xBF'"Tempo (s),Valore,Campioni,Minimo,Massimo,Data e ora" ] \
        || fail "$exe saved the heading '$header'"
    rows=$(tail -n +2 "$csv" | tr -d '\r' | grep -c -E '^[0-9]+\.[0-9],50\.20,[0-9]+,50\.2,50\.2,' || true)
    [ "$rows" -ge 3 ] && [ "$rows" -eq $(($(wc -l < "$csv") - 1)) ] \
        || fail "$exe saved rows other than its points: $(head -5 "$csv")"
    pass "$exe saves its $rows points as a CSV in $saved, through the file dialog"
    "$wmClose" "$window"
    exitsWith 0 "$exe, closed with every point saved"
    stopSensor
}

echo "== a new Wine prefix"
# One wineserver for the whole test, so that Wine maps its serial ports only once, at the start,
# and never again over the link to the pseudo-terminal made below.
"$top/tests/windows/wine-prefix.sh" "$WINEPREFIX" > "$work/prefix.log" 2>&1 \
    || { cat "$work/prefix.log"; fail "a new Wine prefix"; }
wineserver -p > /dev/null 2>&1
# Wine's services, which map the serial ports, start with the first program.
"${Wine[@]}" cmd /c exit > /dev/null 2>&1 || fail "Wine runs no program"

echo "== the portable zip"
unzip -q "$zip" -d "$work/zip"
cd "$work/zip"/Quorin-*
# The licences, of the programs and of what ships with them, in a folder of their own.
for text in "GPL-3.0.txt:GNU GENERAL PUBLIC LICENSE" "LGPL-3.0.txt:GNU LESSER GENERAL PUBLIC" \
    "GCC-runtime-library-exception-3.1.txt:GCC RUNTIME LIBRARY EXCEPTION" \
    "MinGW-w64-winpthreads.txt:Files: mingw-w64-libraries/winpthreads/" \
    "Qt-qtbase-copyright.txt:Upstream-Name: qtbase" \
    "Qt-qtserialport-copyright.txt:Upstream-Name: qtserialport" \
    "QCustomPlot-copyright.txt:Upstream-Name: QCustomPlot"; do
    grep -q "${text#*:}" "licenze/${text%%:*}" || fail "the zip lacks licenze/${text%%:*}"
done
pass "the zip carries the licence texts in licenze/"
# The device's kit: each sketch in a folder of its name, as the Arduino IDE wants it, and the
# guide, one page with its pictures inside, none that it would have to find elsewhere.
for sketch in potenziometro lm35; do
    grep -q "^void loop()" "Arduino/$sketch/$sketch.ino" || fail "the zip lacks the sketch $sketch"
done
guide="Arduino/Costruire il sensore con Arduino.html"
[ "$(grep -o '<img src="[^"]*' "$guide" | grep -c -v '<img src="data:image/')" -eq 0 ] \
    && [ "$(grep -o '<img src="data:image/' "$guide" | wc -l)" -eq 4 ] \
    || fail "the zip's guide does not hold its four pictures"
pass "the zip carries the sketches and the guide, its pictures inside it"
session Quorin.exe quorin-windows.png standard
session Quorind.exe quorind-windows.png didactic
labSession

rm "$WINEPREFIX/dosdevices/com3"
# Wine lists the machine's own serial lines as COM ports too; the PC of the test has none.
"${Wine[@]}" reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /va /f > /dev/null 2>&1 || true
readLayout standard
start Quorin.exe
reportsOnce "Quorin.exe without COM3 or any other port" \
    "$CannotOpen la porta non esiste\. Al PC non è collegata alcuna porta seriale: collegare il sensore e avviare di nuovo il programma\."
# Windows gave the adapter COM4: Qt lists the ports Windows maps in SERIALCOMM.
"${Wine[@]}" reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\Serial3' /t REG_SZ \
    /d COM4 /f > /dev/null 2>&1 || fail "COM4 could not be registered"
readLayout didactic
start Quorind.exe
reportsOnce "Quorind.exe without COM3, the sensor on COM4" \
    "$CannotOpen la porta non esiste\. Il PC ha la porta seriale COM4: per darle il numero 3, in Gestione dispositivi aprire Porte \(COM e LPT\), poi le Proprietà del dispositivo, Impostazioni della porta, Avanzate, e scegliere COM3 come Numero porta COM\."

echo "== the installer"
cd "$work"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorin'
chosen='C:\Scuola\Quorin' # a folder of the user's choice
folder=$WINEPREFIX/drive_c/Scuola/Quorin
programFiles="$WINEPREFIX/drive_c/Program Files/Quorin"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quorin"
shipped=$(cd "$work/zip"/Quorin-* && pwd)
query() { "${Wine[@]}" reg query "$@" /reg:64 2> /dev/null | tr -d '\r'; }
valueOf() { query "$key" | sed -n "s/^ *$1 *REG_[A-Z]* *//p"; }

# Wine's reg says on standard output that a key is missing, and fails.
keyExists() { "${Wine[@]}" reg query "$key" /reg:64 > /dev/null 2>&1; }
# Everything the installer and the uninstaller could change: every file as it was (a file moved
# away and back keeps its size and time), the folders, the Start menu and the key.
installation() {
    (cd "$folder" && find . \( -type f -printf '%p %s %T@\n' \) -o -printf '%p\n' | sort)
    ls "$menu"
    query "$key"
}

# An older version, 0.9.0, which shipped a file that this one no longer ships; its files are
# older, so that a file of this version left in its place shows.
cp -a "$shipped" "$work/older"
echo "Solo nella versione 0.9.0." > "$work/older/vecchio.txt"
find "$work/older" -type f -exec touch -d 2025-09-01T08:00 {} +
"$top/tools/windows/make-installer.sh" "$script" "$work/older" 0.9.0 0.9.0.0 \
    "$work/older-setup.exe" zlib \
    > "$work/makensis.log" 2>&1 || { cat "$work/makensis.log"; fail "the older installer"; }
"${Wine[@]}" "$work/older-setup.exe" /S "/D=$chosen" \
    || fail "the older version's silent install ended with status $?"
[ -f "$folder/vecchio.txt" ] && [ -f "$folder/Quorin.exe" ] \
    || fail "the older version is not in $chosen"

installation > "$work/older.state"
upgradeFails() { # WHAT
    local status=0
    "${Wine[@]}" "$setup" /S || status=$?
    [ "$status" -eq 2 ] || fail "the upgrade $1 ended with status $status, not 2"
}

# What an antivirus may do to an upgrade, done by quorin-antivirus to the folder as Wine sees it,
# bound on itself so that it is a mount of its own and nothing else waits for the antivirus.
watched=$QUORIN_WINE10_NEW$folder
mount --bind "$watched" "$watched"
mkfifo "$work/antivirus.in"
startAntivirus() { # take|deny NAME
    "$antivirus" "$watched" "$1" "$2" < "$work/antivirus.in" > "$work/antivirus.out" 2>&1 &
    antivirusPid=$!
    exec 4> "$work/antivirus.in"
    waitFor "quorin-antivirus watches $chosen" grep -q watching "$work/antivirus.out"
}
stopAntivirus() { # WHAT IT DID
    exec 4>&-
    waitFor "quorin-antivirus ends" ended "$antivirusPid"
    antivirusPid=
    grep -q "^$1" "$work/antivirus.out" || fail "quorin-antivirus did not do it: $1"
}

# The new Quorin.exe, unsigned, quarantined as soon as it is copied, before the upgrade moves it
# into place: the upgrade stops there and puts back every file it moved.
startAntivirus take aggiornamento.tmp/Quorin.exe
upgradeFails "whose new Quorin.exe an antivirus takes"
stopAntivirus "took aggiornamento.tmp/Quorin.exe"
installation | diff "$work/older.state" - \
    || fail "the upgrade whose new Quorin.exe was taken changed the older version"
pass "an upgrade whose new Quorin.exe an antivirus takes before it is moved in ends with" \
    "status 2 and leaves the older version as it was"

# A file of the older version that another program holds open, the last that the upgrade would
# move into place (make-installer.sh lists them sorted): the upgrade fails after moving all the
# others, and must put them all back.
held=$(cd "$shipped" && find . -type f | sort | tail -n 1)
held=${held#./}
mkfifo "$work/holder.in"
"${Wine[@]}" "$holdfile" "$chosen\\${held//\//\\}" < "$work/holder.in" > "$work/holder.out" 2>&1 &
holderPid=$!
exec 3> "$work/holder.in"
waitFor "quorin-holdfile holds $held" grep -q held "$work/holder.out"

# Meanwhile the older Quorin.exe, moved aside, cannot go back: the report names it, and its copy
# stays in the backup with the report. Every other file is as it was.
backup=versione-precedente.tmp
startAntivirus deny "$backup/Quorin.exe"
upgradeFails "over a held $held, the older Quorin.exe's way back blocked,"
stopAntivirus "denied $backup/Quorin.exe"
installation | grep -v -e '^\./Quorin\.exe ' -e "^\./$backup" \
    | diff <(grep -v '^\./Quorin\.exe ' "$work/older.state") - \
    || fail "the upgrade whose Quorin.exe could not go back changed other files"
[ "$(grep "^\./$backup/Quorin\.exe " <(installation) | sed "s|/$backup||")" \
    = "$(grep '^\./Quorin\.exe ' "$work/older.state")" ] \
    || fail "the older Quorin.exe is not whole in $backup"
report=$(iconv -f UTF-16 -t UTF-8 "$folder/$backup/LEGGIMI.txt" | tr -d '\r')
grep -qF "$chosen\\Quorin.exe" <<< "$report" && ! grep -q "rimasta com'era" <<< "$report" \
    || fail "the report does not name $chosen\\Quorin.exe as not put back: $report"
pass "an upgrade that cannot put the older Quorin.exe back ends with status 2, names it in its" \
    "report and keeps its copy in $backup: $report"

# Run again, still over the held file: Quorin.exe goes back first, then the upgrade fails and
# puts back all it moved.
upgradeFails "over a held $held"
installation | diff "$work/older.state" - || fail "the failed upgrade changed the older version"
umount -l "$watched"
watched=
exec 3>&-
waitFor "quorin-holdfile lets $held go" ended "$holderPid"
holderPid=
startInstalled
esci "the older Quorin, after the failed upgrades,"
pass "an upgrade that cannot replace $held ends with status 2, first puts back the file that an" \
    "earlier one could not, and leaves the older version as it was, its files, uninstaller and" \
    "entry, and working"

"${Wine[@]}" "$setup" /S || fail "the silent upgrade ended with status $?"
[ ! -e "$programFiles" ] || fail "the upgrade installed a second copy into Program Files"
diff <(cd "$shipped" && find . -type f | sort) \
    <(cd "$folder" && find . -type f ! -name uninstall.exe ! -name uninstall.lst | sort) \
    || fail "after the upgrade $chosen holds other files than the zip's"
[ -f "$folder/uninstall.exe" ] || fail "the upgrade left no uninstaller"
[ -f "$menu/Quorin.lnk" ] && [ -f "$menu/Quorind.lnk" ] && [ -f "$menu/Quorinlab.lnk" ] \
    && [ -f "$menu/Costruire il sensore con Arduino.lnk" ] \
    || fail "the installer did not make the Start menu's entries: $(ls "$menu")"
[ "$(query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s \
    | grep -c 'DisplayName *REG_SZ *Quorin, Quorind e Quorinlab')" -eq 1 ] \
    || fail "not one entry of Quorin in Apps & features"
version=${setup##*/Quorin-}
version=${version%-setup.exe}
[ "$(valueOf InstallLocation)" = "$chosen" ] && [ "$(valueOf DisplayVersion)" = "$version" ] \
    || fail "the entry names $(valueOf InstallLocation), version $(valueOf DisplayVersion)"
for value in DisplayName DisplayIcon Publisher UninstallString QuietUninstallString \
    EstimatedSize NoModify NoRepair; do
    [ -n "$(valueOf "$value")" ] || fail "the uninstall key lacks $value"
done
[ "$(valueOf QuietUninstallString)" = "\"$chosen\\uninstall.exe\" /S" ] \
    || fail "unexpected QuietUninstallString: $(valueOf QuietUninstallString)"
pass "an upgrade installs into the folder of the installed version, $chosen:" \
    "one copy, one entry, no file of the older version left"

wrestool -x -t 14 "$folder/Quorin.exe" > "$work/icon.ico"
icotool -l "$work/icon.ico" > "$work/icons"
for edge in 32 16; do
    grep -q -- "--width=$edge --height=$edge --bit-depth=4 --palette-size=16" "$work/icons" \
        || fail "Quorin.exe has no 16-colour $edge x $edge icon: $(cat "$work/icons")"
done
# VS_FIXEDFILEINFO: its signature, its layout version, then file and product version, each as
# two little-endian 32-bit words: 1.0.0.0 is 0x00010000, 0x00000000.
wrestool -x --raw -t 16 "$folder/Quorin.exe" | od -An -v -tx1 | tr -d ' \n' \
    | grep -q 'bd04effe00000100''0000010000000000''0000010000000000' \
    || fail "Quorin.exe does not carry file and product version 1.0.0.0"
pass "the installed Quorin.exe carries its icon, 16 colours at 32 and 16, and version 1.0.0.0"

startInstalled
installation > "$work/before"
status=0
"${Wine[@]}" "$setup" /S || status=$?
[ "$status" -ne 0 ] || fail "the installer ran over a running Quorin"
installation | diff "$work/before" - || fail "the refused installer changed the installation"
pass "while Quorin runs the installer refuses, status $status, and changes nothing"
status=0
# With _?= the uninstaller runs where it is, not from a copy, and gives its own status.
"${Wine[@]}" "$chosen\\uninstall.exe" /S "_?=$chosen" || status=$?
[ "$status" -ne 0 ] || fail "the uninstaller ran while Quorin runs"
installation | diff "$work/before" - || fail "the refused uninstaller changed the installation"
pass "while Quorin runs the uninstaller refuses, status $status, and changes nothing"
esci "the installed Quorin"
pass "the installed Quorin.exe starts from its folder, opens COM3 and ends with Esci"

# As "Apps & features" runs it. It runs on from a copy of itself: wait for what it leaves.
"${Wine[@]}" "$chosen\\uninstall.exe" /S
uninstalled() { [ ! -e "$folder" ] && [ ! -e "$menu" ] && ! keyExists; }
waitFor "the uninstaller removes the programs, the licences, their entries and the key" uninstalled
[ -d "$WINEPREFIX/drive_c/Scuola" ] || fail "the uninstaller removed the user's own folder"
pass "the uninstaller removes it all, licence texts included"
