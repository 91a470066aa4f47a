#!/usr/bin/env bash
# clang-format and clang-tidy over the project's sources. BUILD_DIR holds compile_commands.json.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build/linux}

mapfile -t sources < <(git ls-files -co --exclude-standard -- '*.cpp' '*.hpp' | grep -v '^build/')
clang-format --dry-run -Werror "${sources[@]}"

# clang-tidy reads the files this build compiles (the other platform's files are not among them).
mapfile -t tidy < <(printf '%s\n' "${sources[@]}" | grep -E '^(src|tools|examples)/.*\.cpp$' |
    while read -r file; do grep -qF "\"$PWD/$file\"" "$build_dir/compile_commands.json" && echo "$file"; done)
printf '%s\n' "${tidy[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build_dir" --quiet 2>/dev/null
echo "lint: clean (${#sources[@]} files formatted, ${#tidy[@]} files tidied)"
