#!/usr/bin/env bash
# Checks that every C++ file of the repository is formatted with its
# .clang-format (Debian 12's clang-format 14); lists the files that are not.
# `tools/check-format.sh --fix` formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q clang-format
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
bad=()
for f in "${files[@]}"; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
    printf 'Not formatted (run tools/check-format.sh --fix):\n' >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
fi
echo "Formatting: ${#files[@]} files checked"
