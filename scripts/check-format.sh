#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format would make of it.
# Run from anywhere inside the repository; formats nothing.
#   CLANG_FORMAT=/path/to/clang-format  picks the binary (default: clang-format-19).
# The layout is in .clang-format (and tests/.clang-format, which widens tests);
# clang-format versions lay out code differently, so the version is checked.
set -euo pipefail

cd "$(git rev-parse --show-toplevel)"

tool=${CLANG_FORMAT:-clang-format-19}
want_major=19
if ! command -v "$tool" >/dev/null 2>&1; then
  echo "check-format: $tool not found (Debian: apt-get install clang-format-$want_major)" >&2
  exit 2
fi
major=$("$tool" --version | sed -n 's/.*clang-format version \([0-9]*\).*/\1/p')
if [ "$major" != "$want_major" ]; then
  echo "check-format: $tool is version ${major:-unknown}; the layout is set for $want_major" >&2
  exit 2
fi

# The folders whose C++ is ours to format (no vendored or generated code there).
folders=(core files run drawing pictures app ui web tests bench fuzz tools)

mapfile -d '' files < <(git ls-files -z -- "${folders[@]/%//*.cpp}" "${folders[@]/%//*.h}")
if [ "${#files[@]}" -eq 0 ]; then
  echo "check-format: no C++ files found" >&2
  exit 2
fi

if "$tool" --dry-run --Werror --style=file "${files[@]}"; then
  echo "check-format: ${#files[@]} files formatted as .clang-format says"
else
  echo "check-format: files above differ; fix with: $tool -i --style=file <file>..." >&2
  exit 1
fi
