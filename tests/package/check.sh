#!/usr/bin/env bash
# The Debian package as a user of the machine meets it: builds it (scripts/package.sh),
# runs the distribution's checks (lintian, desktop-file-validate, appstreamcli), installs
# it, starts the installed tutor as an ordinary account with an empty home under Xvfb with
# a private sound server (tests/e2e/run_e2e.sh: the window, the greeting at the monitor, a
# new player's record), checks the copied sample lesson and where the record went, installs
# a newer version over it, then purges it and checks that nothing of it is left.
#
#   tests/package/check.sh [--deb FILE]    (default: build the package first)
#
# It installs and removes a system package: run it on a machine (or container) where that
# is wanted, as root or with sudo. Not part of the default test run.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
deb=""
while (($#)); do
    case $1 in
    --deb) deb=$(realpath "$2"); shift 2 ;;
    -h | --help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "check.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
done
sudo_cmd=()
(($(id -u) == 0)) || sudo_cmd=(sudo)
app_id=$(<"$repo/content/app-id")

failures=0
check() { # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
absent() { [[ ! -e $1 && ! -L $1 ]]; }
failed_with() { local out status=0; out=$("$@" 2>&1) || status=$?; [[ -z $out ]] || printf '%s\n' "$out" | sed 's/^/     /'; return $status; }

work=$(mktemp -d "${TMPDIR:-/tmp}/lexorin-package-check.XXXXXX")
chmod 755 "$work"
account="" created_account=0
cleanup() {
    if ((created_account)); then
        userdel -r "$account" >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

echo "--- the package"
if [[ -z $deb ]]; then
    deb=$("$repo/scripts/package.sh" --out "$work/dist" | tail -n1)
fi
echo "     $deb"
version=$(dpkg-deb -f "$deb" Version)
check "lintian reports no error and no warning" failed_with lintian --fail-on error,warning "$deb"

echo "--- installing it"
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; exit 1; }
mapfile -t package_files < <(dpkg -L lexorin | while read -r f; do [[ -f $f || -L $f ]] && echo "$f"; done)
echo "     ${#package_files[@]} files installed"
check "the program is /usr/bin/lexorin" test -x /usr/bin/lexorin
check "lexorin --version says $version" test "$(/usr/bin/lexorin --version)" = "lexorin $version"
check "the prompt and letter clips are in /usr/share/lexorin/Alpha" test -f /usr/share/lexorin/Alpha/welcome.wav
check "the help is in /usr/share/lexorin" test -f /usr/share/lexorin/LexorinHelp.mht
check "the sample lesson is in /usr/share/lexorin" test -d "/usr/share/lexorin/First Words"
check "the launcher goes by the application ID" test -f "/usr/share/applications/$app_id.desktop"
check "desktop-file-validate passes on it" failed_with desktop-file-validate "/usr/share/applications/$app_id.desktop"
check "appstreamcli validate passes on the metainfo" \
    failed_with appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml"
check "the icons: scalable and 256x256" test -f "/usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
    -a -f "/usr/share/icons/hicolor/256x256/apps/$app_id.png"
check "the manual page" test -f /usr/share/man/man1/lexorin.1.gz
check "the machine-readable copyright" grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    /usr/share/doc/lexorin/copyright

echo "--- an ordinary user with an empty home starts it"
# The account's own copy of the end-to-end scripts, which it may not reach in the checkout.
mkdir -p "$work/tests"
cp -r "$repo/tests/e2e" "$repo/tests/integration" "$work/tests/"
chmod -R a+rX "$work/tests"
if (($(id -u) == 0)); then
    account=lexorin-check-$$
    mkdir -m 755 "$work/skel"
    useradd --create-home --home-dir "$work/home" --skel "$work/skel" --shell /bin/bash "$account"
    created_account=1
    home=$work/home
    as_user=(setpriv --reuid="$(id -u "$account")" --regid="$(id -g "$account")" --init-groups)
else
    account=$(id -un)
    home=$work/home
    mkdir -m 700 "$home"
    as_user=()
fi
mkdir -m 700 "$home/.runtime"
chown "$account" "$home/.runtime"
content=$home/.local/share/lexorin
user_env=(env -i HOME="$home" USER="$account" LOGNAME="$account" PATH=/usr/local/bin:/usr/bin:/bin
          TMPDIR="$home" XDG_RUNTIME_DIR="$home/.runtime" LANG=C.UTF-8)
"${as_user[@]}" "${user_env[@]}" "$work/tests/e2e/run_e2e.sh" --tutor /usr/bin/lexorin --out "$home/e2e" \
    --stages "start welcome player" --installed "$content" /usr/share/lexorin >"$work/e2e.log" 2>&1 &&
    e2e=0 || e2e=$?
sed -n 's/^\(e2e: finished.*\|E2E .*\|.*window .* shown.*\|.*welcome clip heard.*\|.*player .* added.*\)$/     \1/p' "$work/e2e.log"
check "the window shows, the greeting is heard, a player is added" test "$e2e" = 0
((e2e == 0)) || tail -n 30 "$work/e2e.log"
check "the sample lesson was copied into ~/.local/share/lexorin" diff -r "/usr/share/lexorin/First Words" "$content/First Words"
check "the new player's record is in ~/.local/share/lexorin/Children" test -n "$(ls "$content/Children/"*.xml 2>/dev/null)"
check "the user's folder is theirs" test "$(stat -c %U "$content/Children")" = "$account"
check "the program's clips were not copied into it" absent "$content/Alpha"
# What the session's own helpers keep (the sound server's cookie, font and shader caches)
# is no part of the tutor's writing.
others=$(cd "$home" && find . -mindepth 1 -not -path './.local' -not -path './.local/share' \
    -not -path './.local/share/lexorin*' -not -path './.runtime*' -not -path './e2e*' -not -path './.cache*' \
    -not -path './.config' -not -path './.config/pulse*' -not -path './.dbus*' | head)
check "nothing else was written in the home" test -z "$others"
[[ -z $others ]] || printf '     found: %s\n' $others

echo "--- a newer version over it"
snapshot() { (cd "$content" && find . -printf '%p %s %T@\n' | sort); }
snapshot >"$work/before"
mkdir "$work/newer"
dpkg-deb -R "$deb" "$work/newer/root"
sed -i "s/^Version: .*/Version: $version+check1/" "$work/newer/root/DEBIAN/control"
dpkg-deb -b --root-owner-group "$work/newer/root" "$work/newer/lexorin_${version}+check1.deb" >/dev/null
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "$work/newer/lexorin_${version}+check1.deb" \
    >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
check "the newer version is installed" test "$(dpkg-query -W -f='${Version}' lexorin)" = "$version+check1"
check "the user's folder is as it was" diff "$work/before" <(snapshot)

echo "--- purge"
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get purge -y -qq lexorin >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; exit 1; }
left=()
for f in "${package_files[@]}"; do
    absent "$f" || left+=("$f")
done
check "every file the package installed is gone" test ${#left[@]} -eq 0
((${#left[@]} == 0)) || printf '     left: %s\n' "${left[@]}"
check "/usr/share/lexorin is gone" absent /usr/share/lexorin
check "the user's folder stays" diff "$work/before" <(snapshot)

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all package checks passed"
