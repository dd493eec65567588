#!/usr/bin/env bash
# scripts/install-udev-rule.sh in a mount namespace of its own, where /etc is an overlay, /run is
# empty and udevadm is a stand-in that notes how it was called: the machine is left as it was.
set -euo pipefail
repo="$(cd "$(dirname "$0")/../.." && pwd)"

if [ -z "${QVX_RULE_TEST_ISOLATED:-}" ]; then
    if [ "$(id -u)" -ne 0 ] || ! unshare -m true 2> /dev/null; then
        echo "skipped: needs root for a mount namespace"
        exit 77
    fi
    QVX_RULE_TEST_ISOLATED=1 exec unshare -m --propagation private bash "$0"
fi

scratch="$(mktemp -d)"
mount -t tmpfs tmpfs "$scratch"
trap 'cd /; umount -l /etc /run "$scratch" 2> /dev/null || true; rmdir "$scratch"' EXIT
mkdir "$scratch/upper" "$scratch/work" "$scratch/bin"
mount -t overlay overlay -o "lowerdir=/etc,upperdir=$scratch/upper,workdir=$scratch/work" /etc
mount -t tmpfs tmpfs /run

log="$scratch/udevadm.log"
printf '#!/bin/sh\necho "$*" >> "%s"\n' "$log" > "$scratch/bin/udevadm"
chmod +x "$scratch/bin/udevadm"
export PATH="$scratch/bin:$PATH"

rule="$repo/packaging/70-qvx720.rules"
installed=/etc/udev/rules.d/70-qvx720.rules

fail() {
    echo "FAILED: $*"
    exit 1
}

install_rule() {
    output="$(bash "$repo/scripts/install-udev-rule.sh")" || fail "the script failed: $output"
    echo "$output"
}

echo "--- a system without udev rules"
rm -rf /etc/udev
install_rule
grep -q "does not exist" <<< "$output" || fail "it did not say why nothing was installed"
[ ! -e /etc/udev ] || fail "it created /etc/udev"

echo "--- udev rules, ours missing, udev not running"
mkdir -p /etc/udev/rules.d
install_rule
cmp -s "$rule" "$installed" || fail "the rule was not installed as shipped"
[ "$(stat -c %a "$installed")" = 644 ] || fail "the rule is not readable by all"
grep -q "installed $installed" <<< "$output" || fail "it did not say what it installed"
grep -q "does not run" <<< "$output" || fail "it did not say that udev does not run"
[ ! -e "$log" ] || fail "udevadm was called without udev: $(cat "$log")"

echo "--- udev running, an older rule installed"
mkdir -p /run/udev
touch /run/udev/control
echo "# an older rule" > "$installed"
install_rule
cmp -s "$rule" "$installed" || fail "the older rule was not replaced"
[ "$(head -n 1 "$log")" = "control --reload" ] || fail "udev was not reloaded first: $(cat "$log")"
grep -qx "trigger --subsystem-match=hidraw --action=change" "$log" || fail "the HID devices were not triggered: $(cat "$log")"
grep -q "reloaded" <<< "$output" || fail "it did not say that udev applied the rule"

echo "--- udev running, the same rule installed"
rm -f "$log"
install_rule
grep -q "installed already" <<< "$output" || fail "it did not say that the rule is there"
[ ! -e "$log" ] || fail "udevadm was called for nothing: $(cat "$log")"

echo "PASSED"
