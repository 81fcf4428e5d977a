#!/usr/bin/env bash
# Makes the DLL's import library from its module definition. The DLL exports
# undecorated names; a program compiled against the header calls the
# stdcall-decorated ones (GetWidth@4), so the import library maps each
# decorated name to its export (--kill-at), and ZTSetPixelFormat@8 to the
# decorated export _ZTSetPixelFormat@8.
#   make_import_library.sh DEF DLLTOOL OUTPUT
set -euo pipefail
def=$1 dlltool=$2 output=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  echo "LIBRARY ztv2_nt.dll"
  echo "EXPORTS"
  sed -n '/^EXPORTS/,$p' "$def" | sed -E \
    -e '/^EXPORTS/d' \
    -e '/^    SetPixelFormat=/d' \
    -e 's/^    _ZTSetPixelFormat@8=ZTSetPixelFormat@8$/    ZTSetPixelFormat@8 == _ZTSetPixelFormat@8/' \
    -e 's/^    [A-Za-z]+=([A-Za-z]+@[0-9]+)$/    \1/'
} >"$work/import.def"
"$dlltool" -d "$work/import.def" -l "$output" -D ztv2_nt.dll -k
