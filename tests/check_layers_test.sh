#!/usr/bin/env bash
# scripts/check_layers on the real source tree (it must pass), and on a small
# tree with one upward include and one folder outside the order (it must name
# both and fail), so that a checker that passes everything is caught too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check="$root/scripts/check_layers"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/base" "$work/shell" "$work/stray"
printf '#include "common/file_io.h"\n#include "shell/main_form.h"\n' >"$work/base/settings.cpp"
printf '#include "base/settings.h"\n#include "main_form.h"\n' >"$work/shell/main_form.cpp"
printf '#include "base/settings.h"\n' >"$work/stray/x.cpp"
if "$check" "$work" >"$work/out" 2>&1; then
  echo "check_layers passed a tree where base includes shell"; exit 1
fi
grep -q 'src/base/settings.cpp: includes shell/main_form.h' "$work/out" ||
  { echo "the upward include was not named:"; cat "$work/out"; exit 1; }
grep -q 'src/stray/x.cpp: folder stray has no place' "$work/out" ||
  { echo "the unlisted folder was not named:"; cat "$work/out"; exit 1; }
[ "$(wc -l <"$work/out")" -eq 2 ] || { echo "more than the two faults reported:"; cat "$work/out"; exit 1; }

"$check" "$root/src"
