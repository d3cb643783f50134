#!/usr/bin/env bash
# Runs a test command as an unprivileged account when the suite runs as root, so that the
# tests whose outcome depends on privileges (file permissions, the read-only disk) meet what
# an ordinary user meets even on a root CI. As any other user they have already run as that
# user in the ordinary run, and this is skipped (77).
#
#   as_unprivileged.sh COMMAND [ARGS...]
#
# The account is LEXORIN_TEST_USER, else the owner of this checkout when that is not root,
# else nobody. It needs to read the build and source trees; it gets a private, writable
# temporary folder (also its HOME) that is removed afterwards, holding in other-account/ two
# files of root's that the account may move but not own (LEXORIN_OTHER_ACCOUNT_FILES):
# read-only (mode 644) and writable (mode 666). A --gtest_filter argument
# must name tests that exist, so a renamed test cannot silently drop out of the run.
set -euo pipefail

if (($(id -u) != 0)); then
    echo "not root: these tests ran as $(id -un) in the ordinary run"
    exit 77
fi

here=$(cd "$(dirname "$0")" && pwd)
account=${LEXORIN_TEST_USER:-$(stat -c %U "$here")}
[[ $account != root ]] || account=nobody
uid=$(id -u "$account")
gid=$(id -g "$account")

for arg in "$@"; do
    [[ $arg == --gtest_filter=* ]] || continue
    IFS=: read -ra names <<<"${arg#--gtest_filter=}"
    for name in "${names[@]}"; do
        if ! "$1" --gtest_list_tests --gtest_filter="$name" 2>/dev/null | grep -q '^ '; then
            echo "$1 has no test $name" >&2
            exit 1
        fi
    done
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
chown -R "$uid:$gid" "$work"
mkdir "$work/other-account"
# Each holds an empty record of a player, so a test may lend it as a record or as a clip.
echo '<CHILD name="Ann"/>' | tee "$work/other-account/read-only" >"$work/other-account/writable"
chmod 644 "$work/other-account/read-only" && chmod 666 "$work/other-account/writable"
chown "$uid:$gid" "$work/other-account"

as_account=(setpriv --reuid="$uid" --regid="$gid" --clear-groups
            env HOME="$work" TMPDIR="$work" XDG_RUNTIME_DIR="$work/runtime"
            LEXORIN_OTHER_ACCOUNT_FILES="$work/other-account")
if ! "${as_account[@]}" test -x "$1" -a -r "$here"; then
    echo "$account cannot reach $1 or $here: make the checkout readable by others" \
         "(chmod o+rX along its path) or set LEXORIN_TEST_USER to an account that can" >&2
    exit 1
fi
echo "as $account:"
"${as_account[@]}" "$@"
