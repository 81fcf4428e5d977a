#!/usr/bin/env bash
# Checks what a built library exports, and for the DLL what it imports:
#   check_exports.sh elf  libztv2_nt.so  expected-names
#   check_exports.sh pe   ztv2_nt.dll    expected-names
set -euo pipefail
kind=$1 library=$2 expected=$3
actual=$(mktemp)
trap 'rm -f "$actual"' EXIT
case "$kind" in
  elf)
    nm -D --defined-only "$library" | awk '$2 != "A" {sub(/@.*/, "", $3); print $3}' | sort >"$actual"
    want=$(sort "$expected")
    ;;
  pe)
    dump=$(i686-w64-mingw32-objdump -p "$library")
    # Export names: the rows of the name-pointer table.
    printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && NF==0 {on=0} on {print $NF}' | sort >"$actual"
    # The Windows form names the pixel-format operation by its decorated name.
    want=$(sed 's/^ZTSetPixelFormat$/_ZTSetPixelFormat@8/' "$expected" | sort)
    imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ {print $3}' | sort -u | tr '\n' ' ')
    if [ "$imports" != "KERNEL32.dll USER32.dll msvcrt.dll " ]; then
      echo "imports other than system DLLs: $imports"
      exit 1
    fi
    ;;
esac
if ! diff <(printf '%s\n' "$want") "$actual"; then
  echo "exports differ from the expected list (< expected, > actual)"
  exit 1
fi
echo "$(wc -l <"$actual") exports as expected"
