#!/usr/bin/env bash
# The command line answers without a display and without starting the
# program: --help and --version on standard output with status 0, also while
# another instance runs; an unknown option gives the usage on standard error
# and status 2.
source "$(dirname "$0")/e2e_lib.sh"
exe=$1
use_private_dirs
unset DISPLAY WAYLAND_DISPLAY
app="$E2E_WORK/app"
install_program "$exe" "$app"
out="$E2E_WORK/out" err="$E2E_WORK/err"

answers() {  # answers STATUS ARGS...: ends by itself with STATUS
    local expected=$1 status=0
    shift
    timeout 20 "$app/quisk-motion-detector" "$@" >"$out" 2>"$err" || status=$?
    [ "$status" -eq "$expected" ] || fail "$* ended with $status, not $expected: $(cat "$err")"
}

check_help() {
    answers 0 --help
    grep -q -- '-t' "$out" || fail "--help does not name -t: $(cat "$out")"
    grep -q 'QUISK_EXTRA_SOURCES' "$out" || fail "--help does not name QUISK_EXTRA_SOURCES"
    grep -q 'QUISK_AUDIO_FILE' "$out" || fail "--help does not name QUISK_AUDIO_FILE"
    grep -qF "$app" "$out" || fail "--help does not say where the data lives: $(cat "$out")"
    answers 0 --version
    grep -qE '^quisk-motion-detector [0-9]+\.[0-9]+' "$out" || fail "--version: $(cat "$out")"
}
check_help

answers 2 --bogus
[ ! -s "$out" ] || fail "the usage of a mistake went to standard output"
grep -q -- '--bogus' "$err" || fail "the unknown option is not named: $(cat "$err")"
grep -q 'Usage' "$err" || fail "no usage on standard error"
answers 2 -t --bogus
[ ! -e "$app/ustawienia.ini" ] || fail "a refused command line touched the settings"

# Another instance holds the lock: the answers do not wait for it.
# This shell holds it, as the running instance would.
exec {lock_fd}>"$XDG_RUNTIME_DIR/ApplicationTestMap.lock"
flock -n "$lock_fd" || fail "the lock was not taken"
check_help
echo "command line: ok"
