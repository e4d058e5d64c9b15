#!/bin/sh
# quorin-port3 on recorded devices: the rule it writes for each kind of device it accepts (USB
# adapters with and without a serial number, a CDC-ACM board, two ports of one PCI card, an
# on-board port), the devices it refuses (a UART-less ttyS port among them), the advice for the
# user who ran sudo, --show and --remove, its Italian, and the command as installed.
#
# A fake udevadm answers `info` from the recordings in udev/ (udevadm info --query=property,
# named after the device), and a recorded sysfs, sys/, stands in for /sys. The fake knows
# nothing of rules: a triggered device claims com3 only when the rules hold, word for word, the
# rule this test expects for it, and gives the claim up otherwise; com3 leads to the one device
# that claims it, and to none while two do, as udev leaves it when a device that lost its rule
# is not processed again.
#   test-quorin-port3.sh QUORIN_PORT3 ITALIAN_PO CMAKE BUILD_DIR
# QUORIN_PORT3 is the command as built; BUILD_DIR is installed from with CMAKE.
set -eu
command=$1 italian_po=$2 cmake=$3 build=$4
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quorin-port3-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir "$work/rules" "$work/dev" "$work/expected" "$work/claims"
export QUORIN_PORT3_UDEVADM="$work/udevadm" QUORIN_PORT3_RULES_DIR="$work/rules" \
    QUORIN_PORT3_DEV_DIR="$work/dev" QUORIN_PORT3_SYS_DIR="$here/sys" \
    QUORIN_TEST_UDEV="$here/udev" QUORIN_TEST_WORK="$work"
unset LC_ALL LC_MESSAGES LANGUAGE SUDO_USER
export LANG=C
rules=$work/rules/61-quorin-port3.rules
com3=$work/dev/com3

cat >"$work/udevadm" <<'EOF'
#!/bin/sh
set -eu
recording() {
    file=$QUORIN_TEST_UDEV/$(basename "$1")
    [ -f "$file" ] || { echo "Unknown device \"$1\": No such device" >&2; exit 4; }
    echo "$file"
}
case $1 in
    info) cat "$(recording "${3#--name=}")" ;;
    control) ;;
    trigger)
        for device; do :; done
        if [ -n "${QUORIN_TEST_TRIGGER_FAILS:-}" ]; then
            echo "Failed to trigger $device: Operation not permitted" >&2
            exit 1
        fi
        name=$(basename "$(recording "$device")")
        expected=$QUORIN_TEST_WORK/expected/$name
        if [ -f "$expected" ] \
            && cat "$QUORIN_PORT3_RULES_DIR"/*.rules 2>/dev/null | grep -qxF -f "$expected"; then
            touch "$QUORIN_TEST_WORK/claims/$name"
        else
            rm -f "$QUORIN_TEST_WORK/claims/$name"
        fi
        set -- "$QUORIN_TEST_WORK"/claims/*
        if [ $# -eq 1 ] && [ -e "$1" ]; then
            ln -sfn "$(basename "$1")" "$QUORIN_PORT3_DEV_DIR/com3"
        else
            rm -f "$QUORIN_PORT3_DEV_DIR/com3"
        fi
        ;;
esac
EOF
chmod +x "$work/udevadm"

# The rule each recorded device must get. Every one keeps ModemManager away.
expect_rule() {
    printf '%s\n' "$2" >"$work/expected/$1"
}
expect_rule ttyUSB0 'SUBSYSTEM=="tty", ENV{ID_VENDOR_ID}=="0403", ENV{ID_MODEL_ID}=="6001", ENV{ID_SERIAL_SHORT}=="A50285BI", ENV{ID_USB_INTERFACE_NUM}=="00", ENV{ID_MM_DEVICE_IGNORE}="1", SYMLINK+="com3"'
# No serial number: the CH340 is known by its USB socket.
expect_rule ttyUSB1 'SUBSYSTEM=="tty", ENV{ID_VENDOR_ID}=="1a86", ENV{ID_MODEL_ID}=="7523", ENV{ID_PATH}=="pci-0000:00:14.0-usb-0:1:1.0", ENV{ID_USB_INTERFACE_NUM}=="00", ENV{ID_MM_DEVICE_IGNORE}="1", SYMLINK+="com3"'
expect_rule ttyACM0 'SUBSYSTEM=="tty", ENV{ID_VENDOR_ID}=="2341", ENV{ID_MODEL_ID}=="0043", ENV{ID_SERIAL_SHORT}=="75833353035351F0E1B1", ENV{ID_USB_INTERFACE_NUM}=="00", ENV{ID_MM_DEVICE_IGNORE}="1", SYMLINK+="com3"'
# The two ports of one PCI card share its slot; the name picks the one.
expect_rule ttyS4 'SUBSYSTEM=="tty", KERNEL=="ttyS4", SUBSYSTEMS=="pci", KERNELS=="0000:03:00.0", ENV{ID_MM_DEVICE_IGNORE}="1", SYMLINK+="com3"'
expect_rule ttyS5 'SUBSYSTEM=="tty", KERNEL=="ttyS5", SUBSYSTEMS=="pci", KERNELS=="0000:03:00.0", ENV{ID_MM_DEVICE_IGNORE}="1", SYMLINK+="com3"'
expect_rule ttyS0 'SUBSYSTEM=="tty", KERNEL=="ttyS0", ENV{ID_MM_DEVICE_IGNORE}="1", SYMLINK+="com3"'
# Texts that the device or the hardware database give, which dash's echo would have read: in
# ttyUSB2's model \n and a rule of its own, which must stay inside the comment; in ttyS6's card
# \c, which must not cut the rule off, and an escape sequence, which must not reach the terminal.
expect_rule ttyUSB2 'SUBSYSTEM=="tty", ENV{ID_VENDOR_ID}=="0403", ENV{ID_MODEL_ID}=="6001", ENV{ID_SERIAL_SHORT}=="B71104QC", ENV{ID_USB_INTERFACE_NUM}=="00", ENV{ID_MM_DEVICE_IGNORE}="1", SYMLINK+="com3"'
expect_rule ttyS6 'SUBSYSTEM=="tty", KERNEL=="ttyS6", SUBSYSTEMS=="pci", KERNELS=="0000:04:00.0", ENV{ID_MM_DEVICE_IGNORE}="1", SYMLINK+="com3"'

# The device nodes, as udev makes serial lines on Debian.
for name in ttyUSB0 ttyUSB1 ttyUSB2 ttyACM0 ttyS0 ttyS4 ttyS5 ttyS6; do
    touch "$work/dev/$name"
    chmod 660 "$work/dev/$name"
    chgrp dialout "$work/dev/$name" 2>/dev/null || true
done

failures=0
as_user=
# Groups whose members get far more than a serial line, as the README lists them.
wide_groups="root sudo wheel adm disk kmem shadow staff sys tty docker lxd libvirt admin"
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# run ARG...: the output and status of quorin-port3 ARG..., in $out and $got. Nobody is ever
# told to join a group that hands out far more than a serial line.
run() {
    ran="quorin-port3 $*"
    got=0
    # shellcheck disable=SC2086 # the words of a command to run it as another user
    out=$($as_user "$command" "$@" 2>&1) || got=$?
    for group in $wide_groups; do
        case $out in *"-aG $group "*) fail "$ran: advises joining $group: $out" ;; esac
    done
}

# says TEXT: the command run last said TEXT.
says() {
    case $out in *"$1"*) ;; *) fail "$ran: no \"$1\" in: $out" ;; esac
}

# expect STATUS TEXT ARG...: quorin-port3 ARG... ends with STATUS and says TEXT.
expect() {
    status=$1
    text=$2
    shift 2
    run "$@"
    [ "$got" -eq "$status" ] || fail "$ran: status $got, not $status: $out"
    says "$text"
}

# rule_for NAME WHAT: quorin-port3 /dev/NAME says port 3 is now WHAT, writes exactly the rule
# expected for NAME, and com3 appears leading to NAME's node.
rule_for() {
    expect 0 "Port 3 is now $com3: $2." "/dev/$1"
    rule=$(grep -v '^#' "$rules" || true)
    [ "$rule" = "$(cat "$work/expected/$1")" ] || fail "rule for /dev/$1: $rule"
    [ "$(readlink "$com3" || true)" = "$1" ] || fail "com3 does not lead to $1 after /dev/$1"
}

rule_for ttyUSB0 'FT232R_USB_UART by FTDI (0403:6001), serial number A50285BI'
# Takes port 3 from the FTDI, which must give up its claim.
rule_for ttyUSB1 'USB_Serial by 1a86 (1a86:7523), in USB socket pci-0000:00:14.0-usb-0:1:1.0'
says "It has no serial number, so it is port 3 in this USB socket only."
expect 0 "A rule gives port 3 to the USB adapter 1a86:7523 in USB socket pci-0000:00:14.0-usb-0:1:1.0." --show
rule_for ttyACM0 '0043 by Arduino__www.arduino.cc_ (2341:0043), serial number 75833353035351F0E1B1'
expect 0 "A rule gives port 3 to the USB adapter 2341:0043 with serial number 75833353035351F0E1B1." --show
card='OXPCIe952 Dual Native 950 UART by Oxford Semiconductor Ltd (1415:c158) in slot 0000:03:00.0'
rule_for ttyS4 "the serial port ttyS4 of the PCI card $card"
says "It stays port 3 while the card stays in this slot; after you move the card or add another serial card, run this command again."
rule_for ttyS5 "the serial port ttyS5 of the PCI card $card"
expect 0 "A rule gives port 3 to the serial port ttyS5 of the PCI card in slot 0000:03:00.0." --show
rule_for ttyUSB2 'X\nKERNEL=="sda", RUN+="/bin/touch /tmp/x" by FTDI (0403:6001), serial number B71104QC'
rule_for ttyS6 'the serial port ttyS6 of the PCI card OX\cPCIe952 by Oxford?[2J Ltd (1415:c158) in slot 0000:04:00.0'
grep -qxF '# Port 3: the serial port ttyS6 of the PCI card OX\cPCIe952 by Oxford?[2J Ltd (1415:c158) in slot 0000:04:00.0; /dev/ttyS6 when the rule was written.' \
    "$rules" || fail "the rule's file does not hold the card's texts as plain text: $(cat "$rules")"
rule_for ttyS0 'the on-board serial port ttyS0'
expect 0 "A rule gives port 3 to the on-board serial port ttyS0." --show

# Refused, and the rule in place is left alone.
expect 1 "quorin-port3: /dev/ttyS2 has no serial hardware behind it: the system keeps the name, but no UART answers there." /dev/ttyS2
expect 1 "/dev/sdb is not a serial line: it is a device of kind block (disk), not tty." /dev/sdb
expect 1 "/dev/tty1 is not a serial line with hardware behind it" /dev/tty1
expect 1 "/dev/quorin-none: no such device." /dev/quorin-none
expect 1 "/etc/passwd is not a serial line: udev knows no device by that name." /etc/passwd
[ "$(grep -v '^#' "$rules")" = "$(cat "$work/expected/ttyS0")" ] || fail "a refusal changed the rule"
[ "$(readlink "$com3" || true)" = ttyS0 ] || fail "a refusal moved com3"

# udev fails to run the rules again: its words, then the command's own.
export QUORIN_TEST_TRIGGER_FAILS=1
expect 1 "Failed to trigger /dev/ttyUSB0: Operation not permitted
quorin-port3: /dev/ttyUSB0: udev could not apply the rules to it now; they apply from the next start of the computer, or when the device is plugged in again." /dev/ttyUSB0
unset QUORIN_TEST_TRIGGER_FAILS

expect 0 "The device no longer has port 3; port 3 is $work/dev/ttyS2 again." --remove
[ ! -e "$rules" ] || fail "--remove left the rule"
[ ! -L "$com3" ] || fail "--remove left com3"
expect 0 "which this system does not have" --show

if [ "$(id -u)" -eq 0 ]; then
    # advice OWNER GROUP MODE SUDO_USER [ADVICE]: quorin-port3 /dev/ttyUSB0, run through sudo by
    # SUDO_USER (- for none) on a node with that owner, group and mode, says it gave port 3 and
    # then ADVICE, or nothing more.
    node=$work/dev/ttyUSB0
    advice() {
        chown "$1:$2" "$node"
        chmod "$3" "$node"
        wanted="Port 3 is now $com3: FT232R_USB_UART by FTDI (0403:6001), serial number A50285BI."
        [ $# -lt 5 ] || wanted="$wanted
$5"
        [ "$4" = - ] || export SUDO_USER="$4"
        run /dev/ttyUSB0
        unset SUDO_USER
        if [ "$got" -ne 0 ] || [ "$out" != "$wanted" ]; then
            fail "advice for $4 on $1:$2 $3: status $got: $out"
        fi
    }
    advice root dialout 660 nobody "nobody may not open $node yet: join its group with \"sudo usermod -aG dialout nobody\", then log out and in again."
    advice root "$(id -gn nobody)" 660 nobody
    advice root dialout 666 nobody
    advice nobody dialout 600 nobody
    advice root dialout 600 nobody "nobody may not open $node (owner root, group dialout, mode 600): ask the administrator for access to the device."
    for group in root tty disk sudo; do
        advice root "$group" 660 nobody "nobody may not open $node (owner root, group $group, mode 660): ask the administrator for access to the device."
    done
    advice root dialout 660 - "Users who read the sensor need read and write access to $node (group dialout)."
    advice root dialout 660 root "Users who read the sensor need read and write access to $node (group dialout)."
    "$command" --remove >/dev/null
else
    echo "SKIP: the advice for the user who ran sudo needs root, to give the device nodes owners"
fi

# Whether a user may open the on-board port, as --show tells that user: the group to join,
# or nothing to do.
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    as_user="setpriv --reuid=nobody --regid=nogroup --clear-groups"
    onboard=$work/dev/ttyS2
    touch "$onboard"
    chgrp dialout "$onboard"
    chmod 660 "$onboard"
    expect 0 "nobody may not open $onboard yet: join its group with \"sudo usermod -aG dialout nobody\"" --show
    chmod 666 "$onboard"
    expect 0 "You (nobody) may open it." --show
    as_user=
    rm "$onboard"
else
    echo "SKIP: the checks as another user need root and setpriv"
fi

# Italian under an Italian locale. Where the system has not generated it_IT.UTF-8, the test
# makes it for itself from the locales package's sources (LOCPATH), so that it needs no
# change to the machine.
if [ "$(LC_ALL=it_IT.UTF-8 locale charmap 2>/dev/null)" != UTF-8 ]; then
    mkdir "$work/locale"
    localedef -i it_IT -f UTF-8 "$work/locale/it_IT.UTF-8" >"$work/localedef.log" 2>&1 || true
    export LOCPATH="$work/locale"
    [ "$(LC_ALL=it_IT.UTF-8 locale charmap 2>/dev/null)" = UTF-8 ] || {
        cat "$work/localedef.log" >&2
        fail "no it_IT.UTF-8: install the locales package (tools/install-packages.sh test)"
    }
fi
# italian ARG...: runs quorin-port3 ARG... under LANG=it_IT.UTF-8.
italian() {
    LANG=it_IT.UTF-8
    run "$@"
    LANG=C
    ran="LANG=it_IT.UTF-8 $ran"
}
italian --help
says "Uso: quorin-port3 DISPOSITIVO  assegna la porta 3 alla linea seriale DISPOSITIVO"
says "La regola tiene anche ModemManager lontano dal dispositivo."
italian /dev/ttyS4
says "Ora la porta 3 è $com3: la porta seriale ttyS4 della scheda PCI OXPCIe952 Dual Native 950 UART di Oxford Semiconductor Ltd (1415:c158) nello slot 0000:03:00.0."
grep -qxF "# Port 3: the serial port ttyS4 of the PCI card OXPCIe952 Dual Native 950 UART by Oxford Semiconductor Ltd (1415:c158) in slot 0000:03:00.0; /dev/ttyS4 when the rule was written." \
    "$rules" || fail "the rule's file is not in English when written in Italian: $(cat "$rules")"
italian /dev/ttyS2
says "quorin-port3: /dev/ttyS2 non ha hardware seriale: il sistema ne riserva il nome, ma su questa linea non risponde alcuna UART."
expect 0 "Usage: quorin-port3 DEVICE     give the serial line DEVICE port 3 (as root)," --help

# Every message of the command has its Italian, so that none falls back to English unseen; the
# build's msgfmt --check holds each to the message's own variables.
xgettext -L Shell --keyword=say --keyword=die --from-code=UTF-8 -o "$work/quorin-port3.pot" \
    "$command"
msgcmp "$italian_po" "$work/quorin-port3.pot" 2>"$work/msgcmp.log" \
    || fail "messages without Italian: $(cat "$work/msgcmp.log")"

# As installed, the command finds its installed catalogue.
"$cmake" --install "$build" --component quorin-port3 --prefix "$work/prefix" >/dev/null
installed=$(LANG=it_IT.UTF-8 "$work/prefix/bin/quorin-port3" --help 2>&1) || true
case $installed in
    "Uso: quorin-port3 DISPOSITIVO"*) ;;
    *) fail "installed, quorin-port3 --help in Italian: $installed" ;;
esac

[ "$failures" -eq 0 ] || exit 1
echo "quorin-port3: all checks passed"
