#!/usr/bin/env bash
# Every text of both windows shows whole (text_fit_check) in each font the
# program may meet: the machine's own fonts, where Liberation gives the exact
# look of the window tables; then each family the program asks for, alone, as
# on a system that has only that one; DejaVu Sans alone is what a clean Debian
# has. "Alone" is a private fontconfig configuration (FONTCONFIG_FILE) that
# lists a folder holding only the family's regular and bold files.
# Usage: text_fit_test.sh TEXT_FIT_CHECK
set -uo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
failures=0

# expect LABEL PATTERN...: text_fit_check passes and prints each pattern.
expect() {
  local label=$1 output pattern
  shift
  if ! output=$("$check" 2>&1); then
    echo "FAIL $label: some text does not fit"$'\n'"$output"
    failures=$((failures + 1))
    return
  fi
  for pattern in "$@"; do
    if ! grep -Eq "$pattern" <<<"$output"; then
      echo "FAIL $label: no line matching '$pattern'"$'\n'"$output"
      failures=$((failures + 1))
      return
    fi
  done
  echo "ok $label: $(grep -F 'MainForm font' <<<"$output")"
}

# An upright file of FAMILY with the weight fontconfig numbers W (80 regular,
# 200 bold) whose most specific name is FAMILY: "DejaVu Sans Condensed" files
# are also called "DejaVu Sans", and must not stand for it.
font_file() {
  font_names_and_file "$@" | cut -f 2
}

# The same file after every name fontconfig gives its family, with a tab between.
font_names_and_file() {
  fc-list --format='%{family}\t%{file}\n' ":family=$1:slant=0:weight=$2" |
    awk -F '\t' -v family="$1" '{ n = split($1, names, ","); if (names[n] == family) { print; exit } }'
}

# Prints a fontconfig configuration that knows the regular and bold of each
# FAMILY given, and no other font.
only_families() {
  local dir family weight file
  dir=$work/$(tr -c 'A-Za-z0-9\n' _ <<<"$*")
  mkdir -p "$dir/fonts"
  for family in "$@"; do
    for weight in 80 200; do
      file=$(font_file "$family" "$weight")
      [[ -n "$file" ]] && ln -sf "$file" "$dir/fonts/"
    done
  done
  cat >"$dir/fonts.conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig><dir>$dir/fonts</dir><cachedir>$dir/cache</cachedir></fontconfig>
CONF
  echo "$dir/fonts.conf"
}

if [[ -n "$(font_file 'Liberation Sans' 80)" && -n "$(font_file 'Liberation Serif' 200)" ]]; then
  expect "the machine's fonts" '^MainForm font: Liberation Sans, 11 px$' \
    '^Init_Com font: Liberation Sans, 11 px$' '^PanelStatus font: Liberation Serif, bold, 15 px$' \
    '^RxLabel1 font: Liberation Sans, bold, 13 px$'
else
  expect "the machine's fonts"
fi

mapfile -t families < <("$check" --families | sort -u)
[[ ${#families[@]} -gt 0 ]] || { echo "FAIL: text_fit_check names no families"; exit 1; }
for family in "${families[@]}"; do
  if [[ -z "$(font_file "$family" 80)" ]]; then
    echo "skip $family: not installed"
    continue
  fi
  # Qt may call a face by any of its names ("DejaVu Sans" for DejaVu Sans Condensed).
  names=$(font_names_and_file "$family" 80 | cut -f 1 | tr , '|')
  FONTCONFIG_FILE=$(only_families "$family") expect "$family alone" \
    "^MainForm font: ($names)(,| \[)" "^Init_Com font: ($names)(,| \[)"
done

# DejaVu Sans is in the list; a clean system has it, so it must never be skipped.
[[ -n "$(font_file 'DejaVu Sans' 80)" ]] || { echo "FAIL: DejaVu Sans is not installed"; exit 1; }

# Beside DejaVu Sans, which fits at 9 pixels only, a narrower installed face
# that fits at a larger size is taken.
if [[ -n "$(font_file 'DejaVu Sans Condensed' 80)" ]]; then
  FONTCONFIG_FILE=$(only_families 'DejaVu Sans' 'DejaVu Sans Condensed') \
    expect "DejaVu Sans and DejaVu Sans Condensed" '^MainForm font: DejaVu Sans( Condensed)?, 1[01] px$'
fi
exit $((failures > 0))
