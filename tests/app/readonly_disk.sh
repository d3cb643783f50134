#!/usr/bin/env bash
# Runs test_app's read-only disk tests with the content folder on a read-only mount, made in
# a private user and mount namespace, which needs no privileges where the kernel allows
# unprivileged user namespaces. There a folder is filled, bind-mounted and the bind made
# read-only (remount,bind,ro): a user namespace may do that, though it may not remount a
# file system it did not mount read-only. Root can do without the user namespace. Where no
# namespace is allowed at all, the check is skipped (77).
#
#   readonly_disk.sh PATH/TO/test_app
set -euo pipefail

if [[ ${1:-} != --inside ]]; then
    test_app=$1
    for namespaces in -rm -m; do
        if unshare "$namespaces" true 2>/dev/null; then
            exec unshare "$namespaces" "$0" --inside "$test_app"
        fi
    done
    echo "no mount namespace allowed here (unprivileged user namespaces are off): read-only disk check skipped"
    exit 77
fi

test_app=$2
work=$(mktemp -d)
trap 'umount "$work/disk" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/files/Week_3" "$work/files/Alpha" "$work/files/Children" "$work/disk"
printf '<CHILD name="Sam"/>\n' >"$work/files/Children/Sam.xml"
mount --bind "$work/files" "$work/disk"
mount -o remount,bind,ro "$work/disk"
if touch "$work/disk/probe" 2>/dev/null; then
    echo "the content folder did not become read-only" >&2
    exit 1
fi
LEXORIN_READONLY_CONTENT=$work/disk "$test_app" --gtest_filter='ReadOnlyDiskTest.*'
