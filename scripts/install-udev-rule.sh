#!/usr/bin/env bash
# Gives the user at the seat access to the controller's hidraw node: installs the udev rule of
# packaging/ where the system keeps udev rules, when it is missing or differs, then has a running
# udev apply it to a controller that is plugged in already. Says what it did.
set -euo pipefail
cd "$(dirname "$0")/.."

rule=packaging/70-qvx720.rules
rules_dir=/etc/udev/rules.d
target="$rules_dir/$(basename "$rule")"

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

if [ ! -d "$rules_dir" ]; then
    echo "udev rule: $rules_dir does not exist here; the controller's access rule was not installed (see README)."
    exit 0
fi

if cmp -s "$rule" "$target"; then
    echo "udev rule: $target is installed already."
    exit 0
fi

$sudo install -m 0644 "$rule" "$target"
echo "udev rule: installed $target, so that the user at the seat may open the controller."

if [ -e /run/udev/control ] && command -v udevadm > /dev/null; then
    $sudo udevadm control --reload
    $sudo udevadm trigger --subsystem-match=hidraw --action=change
    echo "udev rule: udev reloaded its rules and applied them to the HID devices plugged in now."
else
    echo "udev rule: udev does not run here; the rule applies once it does."
fi
