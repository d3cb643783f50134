#!/usr/bin/env bash
# Runs test_app's read-only disk tests with the content folder on a file system mounted
# read-only: a tmpfs in a private user and mount namespace, which needs no privileges where
# the kernel allows unprivileged namespaces. Where it does not, the check is skipped (77).
#
#   readonly_disk.sh PATH/TO/test_app
set -euo pipefail

if [[ ${1:-} != --inside ]]; then
    test_app=$1
    if ! unshare -rm true 2>/dev/null; then
        echo "no user and mount namespaces here: read-only disk check skipped"
        exit 77
    fi
    exec unshare -rm "$0" --inside "$test_app"
fi

test_app=$2
content=$(mktemp -d)
trap 'umount "$content" 2>/dev/null || true; rmdir "$content"' EXIT
mount -t tmpfs tmpfs "$content"
mkdir -p "$content/Week_3" "$content/Alpha" "$content/Children"
printf '<CHILD name="Sam"/>\n' >"$content/Children/Sam.xml"
mount -o remount,ro "$content"
if touch "$content/probe" 2>/dev/null; then
    echo "the content folder did not become read-only" >&2
    exit 1
fi
LEXORIN_READONLY_CONTENT=$content "$test_app" --gtest_filter='ReadOnlyDiskTest.*'
