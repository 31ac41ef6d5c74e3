#!/usr/bin/env bash
# The manual pages render without groff warnings, and the pages of the command-line programs describe
# what their own usage offers: every command in the page's COMMANDS section, every option somewhere.
#   test_man_pages.sh DOCS_DIR TARVOCTL ORVSIM
set -uo pipefail
docs=$1
tarvoctl=$2
orvsim=$3
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The page as plain text on long lines, without hyphenation, blanks squeezed.
render() {
  groff -man -Tascii -rLL=400n -rHY=0 -P-cbou "$1" 2>/dev/null | tr -s ' '
}
# The lines of one section of a rendered page (from its heading to the next one).
section() {
  awk -v name="$2" '/^[A-Z][A-Z ]*$/ { inside = ($0 == name); next } inside' <<<"$1"
}

for page in "$docs"/*.1; do
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# check_page PAGE USAGE COMMAND...: each COMMAND phrase in the page's COMMANDS section, each --option
# of USAGE in the page.
check_page() {
  local page=$1 usage=$2 text commands option
  shift 2
  text=$(render "$docs/$page")
  commands=$(section "$text" COMMANDS)
  for command in "$@"; do
    grep -qF -- "$command" <<<"$commands" || fail "$page describes no command \"$command\""
  done
  for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$usage" | sort -u); do
    grep -qE -- "$option([^a-z-]|$)" <<<"$text" || fail "$page names no option $option"
  done
}

# tarvoctl: the commands are the leading lowercase words of the usage's "Commands:" lines (before the
# column of their descriptions); each command's own usage adds its options.
usage=$("$tarvoctl" --help) || fail "tarvoctl --help failed"
mapfile -t commands < <(awk '/^Commands:/ { on = 1; next } /^$/ { on = 0 } on' <<<"$usage" |
  sed -E 's/^ +//; s/  .*//' |
  awk '{ phrase = ""; for (i = 1; i <= NF && $i ~ /^[a-z]+$/; i++) phrase = phrase (i > 1 ? " " : "") $i; print phrase }' |
  grep -v '^$' | sort -u)
[ ${#commands[@]} -ge 5 ] || fail "tarvoctl --help lists no commands: $usage"
for word in $(printf '%s\n' "${commands[@]}" | awk '{ print $1 }' | sort -u); do
  usage+=$'\n'$("$tarvoctl" "$word" --help) || fail "tarvoctl $word --help failed"
done
check_page tarvoctl.1 "$usage" "${commands[@]}"

# orvsim: the commands are the words after "orvsim" on its usage lines.
usage=$("$orvsim" --help) || fail "orvsim --help failed"
mapfile -t commands < <(grep -oE 'orvsim [a-z]+' <<<"$usage" | awk '{ print $2 }' | sort -u)
[ ${#commands[@]} -ge 3 ] || fail "orvsim --help lists no commands: $usage"
check_page orvsim.1 "$usage" "${commands[@]}"

if [ "$failures" -ne 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "manual pages: ok"
