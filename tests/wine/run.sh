#!/bin/bash
# Runs a 32-bit Windows test program under Wine: tests/wine/run.sh EXE [ARGS...]
#
# The Wine prefix lives next to the program (EXE's folder/wineprefix) and is
# made once; later runs reuse it. The two device names of the library are
# symbolic links in the prefix's dosdevices folder, pointing into a scratch
# folder (EXE's folder/wine-scratch) where the test creates and deletes the
# files behind them. One wineserver serves the whole run, so the slow start of
# a 32-bit Wine process is paid once. The program's exit code is passed on.
set -u

if [ $# -lt 1 ]; then
    echo "usage: $0 EXE [ARGS...]" >&2
    exit 2
fi

exe=$1
shift
if [ ! -f "$exe" ]; then
    echo "run.sh: no such program: $exe" >&2
    exit 2
fi
dir=$(cd "$(dirname "$exe")" && pwd)
exe="$dir/$(basename "$exe")"

wine64=/usr/lib/wine/wine64
wine=/usr/bin/wine
wineserver=/usr/lib/wine/wineserver64
prefix="$dir/wineprefix"
scratch="$dir/wine-scratch"

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset WINEARCH WINESERVER WINELOADER

# One run at a time per build folder: runs share the prefix and the scratch
# files.
exec 9>"$dir/wineprefix.lock"
if ! flock -w 3600 9; then
    echo "run.sh: could not lock $dir/wineprefix.lock" >&2
    exit 2
fi

# Makes the prefix in a temporary folder and renames it into place once
# wineboot is done, so an interrupted boot never leaves a half-made prefix.
make_prefix() {
    local temporary
    temporary=$(mktemp -d "$dir/wineprefix.new.XXXXXX") || return 1
    echo "run.sh: creating the Wine prefix $prefix (takes a few minutes)" >&2
    if ! WINEPREFIX="$temporary" timeout 900 "$wine64" wineboot -i >/dev/null 2>&1; then
        echo "run.sh: wineboot failed" >&2
        WINEPREFIX="$temporary" "$wineserver" -k >/dev/null 2>&1
        rm -rf "$temporary"
        return 1
    fi
    # The server keeps the prefix open; it must be gone before the rename.
    WINEPREFIX="$temporary" timeout 120 "$wineserver" -w ||
        WINEPREFIX="$temporary" "$wineserver" -k >/dev/null 2>&1
    if [ ! -f "$temporary/system.reg" ] || [ ! -e "$temporary/dosdevices/z:" ]; then
        echo "run.sh: wineboot left an incomplete prefix" >&2
        rm -rf "$temporary"
        return 1
    fi
    touch "$temporary/.complete"
    mv "$temporary" "$prefix"
}

if [ ! -f "$prefix/.complete" ]; then
    rm -rf "$prefix" "$dir"/wineprefix.new.*
    make_prefix || exit 2
fi

# A fresh scratch folder with no device present, and the two device links.
rm -rf "$scratch"
mkdir -p "$scratch"
ln -sfn "$scratch/ztv" "$prefix/dosdevices/ztv"
ln -sfn "$scratch/ztv.vxd" "$prefix/dosdevices/ztv.vxd"

# Windows path of the scratch folder through drive Z:, which maps to /.
ZTV_TEST_SCRATCH="Z:${scratch//\//\\}"
export ZTV_TEST_SCRATCH
export WINEPREFIX="$prefix"

# A server left over from an interrupted run goes first.
"$wineserver" -k >/dev/null 2>&1
"$wineserver" -p
trap '"$wineserver" -k >/dev/null 2>&1' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$wine" "$exe" "$@"
exit $?
