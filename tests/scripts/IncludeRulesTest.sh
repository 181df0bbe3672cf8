#!/usr/bin/env bash
# The include-rules check passes on the tree, and fails on a copy of it with one forbidden include put into a
# product file, naming the file and its line. Usage: IncludeRulesTest.sh <tree>
set -euo pipefail
tree=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

check() { python3 "$tree/scripts/check-includes.py" --root "$1"; }

if ! check "$tree" >"$work/out"; then
    echo "FAIL: the tree breaks its include rules:"; cat "$work/out"; failures=$((failures + 1))
fi

# The sources and the rules, copied once; each case edits one file and restores it.
copy=$work/tree
mkdir -p "$copy"
(cd "$tree" && find . \( -name build -o -name .git -o -name corpus \) -prune -o -type f \
    \( -name '*.h' -o -name '*.cpp' -o -name include-rules.txt \) -print | tar -cf - -T -) | tar -xf - -C "$copy"

# file | line put in | what the fault names
cases=(
    'driver/Log.cpp|#include "app/core/document/USBLog.h"|driver/Log.cpp:.*app/core/document/USBLog.h, which driver may not'
    'platform/afx/AfxString.cpp|#include "ntddk.h"|platform/afx/AfxString.cpp:.*platform/nt/ntddk.h'
    'platform/nt/NtPool.cpp|#include "windows.h"|platform/nt/NtPool.cpp:.*platform/win32/windows.h'
    'common/FilterBlock.cpp|#include <pango/pango.h>|common/FilterBlock.cpp:.*<pango/pango.h> from outside'
    'app/devices/HubPort.cpp|#include "app/ui/frame/MainFrame.h"|app/devices/HubPort.cpp:.*app/ui/frame/MainFrame.h'
    'app/core/document/USBLog.cpp|#include "platform/sim/Machine.h"|app/core/document/USBLog.cpp:.*platform/sim/Machine.h'
    'app/widgets/MemDC.h|#include "app/core/document/USBLog.h"|app/widgets/MemDC.h:.*which app/widgets may not'
    'app/core/filters/FilterMatch.cpp|#include "app/ui/dialogs/StopMessage.h"|app/core/filters/FilterMatch.cpp:.*app/ui/dialogs/StopMessage.h'
    'app/core/records/RecordFormat.cpp|#include "app/ui/frame/MainFrame.h"|app/core/records/RecordFormat.cpp:.*app/ui/frame/MainFrame.h'
    'app/devices/reports/HubReporter.cpp|#include "app/ui/dialogs/StopMessage.h"|app/devices/reports/HubReporter.cpp:.*app/ui/dialogs/StopMessage.h'
    'common/LogHeader.h|#include "common/RecordWriter.h"|include cycle: .*common/RecordWriter.h'
    'gadgets/Orphan.cpp|#include <vector>|gadgets/Orphan.cpp: no line of the include rules holds'
)
for entry in "${cases[@]}"; do
    IFS='|' read -r file line expected <<<"$entry"
    target=$copy/$file
    if [ -f "$target" ]; then cp "$target" "$work/saved"; else rm -f "$work/saved"; mkdir -p "$(dirname "$target")"; fi
    printf '%s\n' "$line" >>"$target"
    if check "$copy" >"$work/out" 2>&1; then
        echo "FAIL: '$line' in $file passed the check"; failures=$((failures + 1))
    elif [ -n "$expected" ] && ! grep -q -- "$expected" "$work/out"; then
        echo "FAIL: '$line' in $file: no fault matches '$expected':"; cat "$work/out"; failures=$((failures + 1))
    fi
    if [ -f "$work/saved" ]; then cp "$work/saved" "$target"; else rm -f "$target"; fi
done

# Tests may include anything, and the copy keeps the rules again once every case is undone.
printf '%s\n' '#include "platform/sim/Machine.h"' '#include "app/ui/frame/MainFrame.h"' >>"$copy/tests/app/core/CaptureDocumentTest.cpp"
if ! check "$copy" >"$work/out"; then
    echo "FAIL: the copy breaks its include rules:"; cat "$work/out"; failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] && echo "include rules check: all cases hold"
exit "$failures"
