#!/usr/bin/env bash
# Every text of both windows shows whole (text_fit_check) in each font the
# program may meet: the machine's fonts, with the exact sizes of the window
# tables in Liberation; each family the program asks for, alone, as on a system
# that has only that one (DejaVu Sans alone is a clean Debian); DejaVu Sans
# beside the narrower DejaVu Sans Condensed, which must win. "Alone" is a
# private fontconfig configuration (FONTCONFIG_FILE) listing a folder that
# holds only the family's regular and bold files.
# Usage: text_fit_test.sh TEXT_FIT_CHECK
set -uo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
failures=0

# expect LABEL PATTERN...: text_fit_check passes and prints a line matching each pattern.
expect() {
  local label=$1 output pattern
  shift
  output=$("$check" 2>&1) || { echo "FAIL $label: some text does not fit"$'\n'"$output"; failures=1; return; }
  for pattern in "$@"; do
    grep -Eq "$pattern" <<<"$output" && continue
    echo "FAIL $label: no line matching '$pattern'"$'\n'"$output"
    failures=1
    return
  done
  echo "ok $label: $(grep -F 'MainForm font' <<<"$output")"
}

# face FAMILY WEIGHT: the names fontconfig gives an upright file of FAMILY with
# the weight W (80 regular, 200 bold), a tab, the file. The file's most specific
# name must be FAMILY: DejaVu Sans Condensed is also called "DejaVu Sans".
face() {
  fc-list --format='%{family}\t%{file}\n' ":family=$1:slant=0:weight=$2" |
    awk -F '\t' -v family="$1" '{ n = split($1, names, ","); if (names[n] == family) { print; exit } }'
}

# Prints a fontconfig configuration that knows each FAMILY's regular and bold, nothing else.
only() {
  local dir=$work/$RANDOM$RANDOM family weight
  mkdir -p "$dir/fonts"
  for family in "$@"; do
    for weight in 80 200; do
      face "$family" "$weight" | cut -f 2 | xargs -r ln -sf -t "$dir/fonts"
    done
  done
  printf '<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig><dir>%s</dir><cachedir>%s</cachedir></fontconfig>\n' "$dir/fonts" "$dir/cache" \
    >"$dir/fonts.conf"
  echo "$dir/fonts.conf"
}

for family in 'Liberation Sans' 'Liberation Serif' 'DejaVu Sans' 'DejaVu Sans Condensed'; do
  [[ -n "$(face "$family" 80)" ]] || { echo "FAIL: $family is missing: run scripts/install-deps.sh"; exit 1; }
done

expect "the machine's fonts" '^MainForm font: Liberation Sans, 11 px$' \
  '^Init_Com font: Liberation Sans, 11 px$' '^PanelStatus font: Liberation Serif, bold, 15 px$' \
  '^RxLabel1 font: Liberation Sans, bold, 13 px$'

mapfile -t families < <("$check" --families | sort -u)
[[ ${#families[@]} -gt 0 ]] || { echo "FAIL: text_fit_check names no families"; exit 1; }
for family in "${families[@]}"; do
  names=$(face "$family" 80 | cut -f 1 | tr , '|')
  [[ -n "$names" ]] || { echo "skip $family: not installed"; continue; }
  # Qt may call a face by any of its names.
  FONTCONFIG_FILE=$(only "$family") expect "$family alone" \
    "^MainForm font: ($names)(,| \[)" "^Init_Com font: ($names)(,| \[)"
done

# DejaVu Sans fits at 9 pixels only.
FONTCONFIG_FILE=$(only 'DejaVu Sans' 'DejaVu Sans Condensed') \
  expect "DejaVu Sans and DejaVu Sans Condensed" '^MainForm font: DejaVu Sans( Condensed)?, 1[01] px$'
exit $failures
