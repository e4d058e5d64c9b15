#!/bin/sh
# quorin-port3 on recorded devices: the rule it writes for an FTDI, a CH340 (no serial number)
# and a CDC-ACM adapter, the devices it refuses, --show and --remove. A fake udevadm answers
# `info` from the recordings in udev/ (udevadm info --query=property, named after the device)
# and, like udev, links com3 to a triggered device while a rule's matches all hold for it.
#   test-quorin-port3.sh QUORIN_PORT3
set -eu
command=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quorin-port3-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir "$work/rules" "$work/dev"
export QUORIN_PORT3_UDEVADM="$work/udevadm" QUORIN_PORT3_RULES_DIR="$work/rules" \
    QUORIN_PORT3_DEV_DIR="$work/dev" QUORIN_TEST_UDEV="$here/udev"

cat >"$work/udevadm" <<'EOF'
#!/bin/sh
set -eu
recording() {
    file=$QUORIN_TEST_UDEV/$(basename "$1")
    [ -f "$file" ] || { echo "Unknown device \"$1\": No such device" >&2; exit 4; }
    echo "$file"
}
# Whether every KEY=="value" of rule line $1 holds in properties file $2.
matches() {
    rest=$1
    while :; do
        case $rest in *'=="'*) ;; *) return 0 ;; esac
        key=${rest%%==\"*}
        key=${key##*, }
        key=${key#ENV\{}
        key=${key%\}}
        rest=${rest#*==\"}
        grep -qxF "$key=${rest%%\"*}" "$2" || return 1
        rest=${rest#*\"}
    done
}
case $1 in
    info) recording "${3#--name=}" >/dev/null && cat "$(recording "${3#--name=}")" ;;
    control) ;;
    trigger)
        for device; do :; done
        props=$(recording "$device")
        link=$QUORIN_PORT3_DEV_DIR/com3
        for rules in "$QUORIN_PORT3_RULES_DIR"/*.rules; do
            [ -f "$rules" ] || continue
            grep -v '^#' "$rules" | while read -r line; do
                if matches "$line" "$props"; then ln -sfn "$device" "$link"; fi
            done
        done
        if [ "$(readlink "$link" || true)" = "$device" ] \
            && ! grep -qsh 'SYMLINK+="com3"' "$QUORIN_PORT3_RULES_DIR"/*.rules; then
            rm -f "$link"
        fi
        ;;
esac
EOF
chmod +x "$work/udevadm"

failures=0
as_user=
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect STATUS TEXT ARG...: quorin-port3 ARG... ends with STATUS and says TEXT, never -aG root.
expect() {
    status=$1
    text=$2
    shift 2
    got=0
    # shellcheck disable=SC2086 # the words of a command to run it as another user
    out=$($as_user "$command" "$@" 2>&1) || got=$?
    [ "$got" -eq "$status" ] || fail "quorin-port3 $*: status $got, not $status: $out"
    case $out in *"$text"*) ;; *) fail "quorin-port3 $*: no \"$text\" in: $out" ;; esac
    case $out in *"-aG root"*) fail "quorin-port3 $*: advises joining root: $out" ;; esac
}

# rule_for DEVICE RULE: quorin-port3 DEVICE writes exactly RULE and udev links com3 to DEVICE.
rule_for() {
    expect 0 "Port 3 is now $work/dev/com3" "$1"
    rule=$(grep -v '^#' "$work/rules/61-quorin-port3.rules")
    [ "$rule" = "$2" ] || fail "rule for $1: $rule"
    [ "$(readlink "$work/dev/com3")" = "$1" ] || fail "com3 does not lead to $1"
}

rule_for /dev/ttyUSB0 'SUBSYSTEM=="tty", ENV{ID_VENDOR_ID}=="0403", ENV{ID_MODEL_ID}=="6001", ENV{ID_SERIAL_SHORT}=="A50285BI", ENV{ID_USB_INTERFACE_NUM}=="00", SYMLINK+="com3"'
# No serial number: the CH340 is matched in its USB socket, and takes port 3 from the FTDI.
rule_for /dev/ttyUSB1 'SUBSYSTEM=="tty", ENV{ID_VENDOR_ID}=="1a86", ENV{ID_MODEL_ID}=="7523", ENV{ID_PATH}=="pci-0000:00:14.0-usb-0:1:1.0", ENV{ID_USB_INTERFACE_NUM}=="00", SYMLINK+="com3"'
expect 0 "port 3 in this USB socket only" /dev/ttyUSB1
rule_for /dev/ttyACM0 'SUBSYSTEM=="tty", ENV{ID_VENDOR_ID}=="2341", ENV{ID_MODEL_ID}=="0043", ENV{ID_SERIAL_SHORT}=="75833353035351F0E1B1", ENV{ID_USB_INTERFACE_NUM}=="00", SYMLINK+="com3"'
expect 0 "A rule gives port 3 to 0043 by Arduino__www.arduino.cc_ (2341:0043)" --show

# Refused, and the rule in place is left alone.
expect 1 "/dev/sdb is not a serial line: it is a device of kind block (disk), not tty." /dev/sdb
expect 1 "/dev/tty1 is not a serial line with hardware behind it" /dev/tty1
expect 1 "/dev/quorin-none: no such device." /dev/quorin-none
expect 1 "/etc/passwd is not a serial line: udev knows no device by that name." /etc/passwd
grep -q 2341 "$work/rules/61-quorin-port3.rules" || fail "a refusal changed the rule"

expect 0 "The adapter no longer has port 3" --remove
[ ! -e "$work/rules/61-quorin-port3.rules" ] || fail "--remove left the rule"
[ ! -L "$work/dev/com3" ] || fail "--remove left com3"
expect 0 "which this system does not have" --show

# Whether a user may open the on-board port, as another user: only a group that gives read and
# write, and nothing more, is ever named.
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    as_nobody() {
        expect 0 "$1" --show
    }
    as_user="setpriv --reuid=nobody --regid=nogroup --clear-groups"
    touch "$work/dev/ttyS2"
    chgrp dialout "$work/dev/ttyS2"
    chmod 660 "$work/dev/ttyS2"
    as_nobody "nobody may not open $work/dev/ttyS2 yet: join its group with \"sudo usermod -aG dialout nobody\""
    chgrp root "$work/dev/ttyS2"
    as_nobody "ask the administrator for access to the device."
    chgrp dialout "$work/dev/ttyS2"
    chmod 600 "$work/dev/ttyS2"
    as_nobody "ask the administrator for access to the device."
    chmod 666 "$work/dev/ttyS2"
    as_nobody "You (nobody) may open it."
else
    echo "SKIP: the checks as another user need root and setpriv"
fi

[ "$failures" -eq 0 ] || exit 1
echo "quorin-port3: all checks passed"
