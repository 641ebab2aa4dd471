#!/usr/bin/env bash
# ./play's locale: Wine takes the code page of file names from the character type, so
# ./play gives it one in UTF-8 whatever the desktop's locale is, and leaves one that is
# UTF-8 already as it is. Each row starts a shell with only the locale variables given,
# runs ./play's set-up step and reads back the character set and the variables it left.
# Usage: locale_check.sh   (exit code: the number of rows that failed)
set -u
top=$(cd "$(dirname "$0")/../../.." && pwd)
failed=0

# row NAME WANTED VARIABLES...: WANTED is "LC_ALL|LC_CTYPE|LANG" afterwards, with "utf8"
# standing for this machine's C.UTF-8 locale, as it spells it.
row() {
    local name=$1 wanted=$2
    shift 2
    local c_utf8 seen
    c_utf8=$(locale -a 2>/dev/null | grep -i -m1 -x 'C\.utf-\{0,1\}8' || echo C.UTF-8)
    wanted=${wanted//utf8/$c_utf8}
    seen=$(env -i PATH="$PATH" HOME="${HOME:-/tmp}" "$@" bash -c '
        . "$1/tools/env.sh"
        ensure_utf8_locale
        printf "%s %s|%s|%s" "$(locale charmap 2>/dev/null)" "${LC_ALL-}" "${LC_CTYPE-}" "${LANG-}"
    ' locale_check "$top" 2>/dev/null)
    if [ "$seen" = "UTF-8 $wanted" ]; then
        printf 'PASS %s\n' "$name"
    else
        printf 'FAIL %s: "%s", wanted "UTF-8 %s"\n' "$name" "$seen" "$wanted"
        failed=$((failed + 1))
    fi
}

row "LC_ALL=C: LC_ALL becomes UTF-8" "utf8||" LC_ALL=C
row "LC_ALL=POSIX over LANG: LC_ALL becomes UTF-8, LANG kept" "utf8||C" LC_ALL=POSIX LANG=C
row "LANG=C: only the character type becomes UTF-8" "|utf8|C" LANG=C
row "no locale at all: the character type becomes UTF-8" "|utf8|"
row "a locale not installed (de_DE.ISO-8859-1): the character type in UTF-8" \
    "|utf8|de_DE.ISO-8859-1" LANG=de_DE.ISO-8859-1
row "LANG=C.UTF-8: left as it is" "||C.UTF-8" LANG=C.UTF-8
exit $failed
