#!/usr/bin/env bash
# A plug-in exports VSTPluginMain and main and nothing else; a Windows DLL or program imports
# only DLLs that every Windows has (no toolchain runtime, no zlib or libpng DLLs).
#   check_binary.sh plugin-elf FILE
#   check_binary.sh plugin-pe  FILE OBJDUMP
#   check_binary.sh program-pe FILE OBJDUMP
set -u
mode=$1 file=$2 objdump=${3:-objdump}
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$file" ] || fail "no file $file"
system_dlls='^(kernel32|user32|gdi32|shell32|advapi32|ole32|oleaut32|comdlg32|comctl32|wininet|msvcrt|shlwapi|winmm|msimg32|uxtheme|ws2_32|version|imm32)\.dll$'

case $mode in
plugin-elf)
    exports=$(nm -D --defined-only "$file" | awk '{print $3}' | sort | tr '\n' ' ')
    [ "$exports" = "VSTPluginMain main " ] || fail "exports: $exports"
    ;;
plugin-pe | program-pe)
    dump=$("$objdump" -p "$file") || fail "objdump failed"
    while read -r dll; do
        echo "imports $dll"
        echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls" || fail "imports non-system DLL $dll"
    done < <(echo "$dump" | sed -n 's/^\s*DLL Name: //p')
    if [ "$mode" = plugin-pe ]; then
        exports=$(echo "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
            sed -n 's/^\s*\[ *[0-9]*\] //p' | sort -u | tr '\n' ' ')
        [ "$exports" = "VSTPluginMain main " ] || fail "exports: $exports"
    fi
    ;;
*) fail "unknown mode $mode" ;;
esac
echo "PASS"
