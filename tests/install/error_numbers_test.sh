#!/usr/bin/env bash
# Every error number the engine and its run-time support raise has its row in the manual page
# fmtio(3), and every row there is a number they raise. The message and trap-name tables are
# texts of numbers, not places that raise them, and are left out.
set -euo pipefail
source=$1
raised=$(grep -rhE '\b6[0-9]{3}\b' "$source/fmtio" "$source/runtime" --include='*.cpp' --include='*.h' |
         grep -vE '\{6[0-9]{3}, "' | grep -oE '\b6[0-9]{3}\b' | sort -u)
rows=$(grep -A1 -E '^\.TP$' "$source/doc/fmtio.3.in" | grep -oE '^\.B [FM]6[0-9]{3}$' |
       grep -oE '6[0-9]{3}' | sort -u)
missing=$(comm -23 <(echo "$raised") <(echo "$rows"))
stray=$(comm -13 <(echo "$raised") <(echo "$rows"))
[ -z "$missing" ] || { echo "raised but without a row in fmtio(3):" $missing; exit 1; }
[ -z "$stray" ] || { echo "rows of fmtio(3) that nothing raises:" $stray; exit 1; }
echo "$(echo "$raised" | wc -l) error numbers, each with its row in fmtio(3)"
