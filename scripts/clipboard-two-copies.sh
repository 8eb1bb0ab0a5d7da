#!/usr/bin/env bash
# Two running programs exchange rows through the X11 clipboard with the list's
# own copy and paste commands, and a shell (xclip, standing in for a text
# editor) reads and writes the same text.
#
#   scripts/clipboard-two-copies.sh [path/to/clipboard_peer]
#
# Each side is the test program clipboard_peer (tests/clipboard_peer.cpp),
# which drives the program's list pane. Starts its own Xvfb, so it runs on a
# machine without a desktop. Exit status 0 when every check passes, 77 when no
# X server can be started here.
set -euo pipefail

peer=${1:-build/bin/clipboard_peer}
[ -x "$peer" ] || { echo "no program at $peer (build first)" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "Xvfb is missing (scripts/install-deps)" >&2; exit 1; }
command -v xclip >/dev/null || { echo "xclip is missing (scripts/install-deps)" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
copier_pid=""
cleanup() {
  [ -n "$copier_pid" ] && kill "$copier_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display number of its own: Xvfb picks a free one and tells it on fd 3.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
# A machine that cannot run an X server at all is no fault of the program:
# exit 77, which the test suite reports as skipped.
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 77; }
export DISPLAY=":$(head -n1 "$work/display")"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

failures=0
check() { # name expected-file actual-file
  if cmp -s "$2" "$3"; then
    echo "ok   $1"
  else
    echo "FAIL $1"; echo "  expected:"; od -c "$2" | sed 's/^/    /'
    echo "  got:"; od -c "$3" | sed 's/^/    /'
    failures=$((failures + 1))
  fi
}

# Starts copy 1 serving the rows given as arguments; returns once it copied.
start_copier() {
  "$peer" copy "$@" >"$work/copier.out" 2>"$work/copier.err" &
  copier_pid=$!
  for _ in $(seq 100); do
    grep -q copied "$work/copier.out" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "copy 1 did not copy" >&2; cat "$work/copier.err" >&2; exit 1
}

# 1. Rows from copy 1 to copy 2: a path, a blank row, a Japanese name, a name
#    that is not valid UTF-8, a long path, and blank rows at the end.
long="/$(head -c 3000 /dev/zero | tr '\0' 'l').bmp"
rows=("/img/a.bmp" "" "/img/日本語 画像.bmp" $'/img/\xff\xfebad.bmp' "$long" "" "")
start_copier "${rows[@]}"
printf '%s\n' "${rows[@]}" >"$work/expected-rows"
"$peer" paste >"$work/pasted" 2>"$work/paste.err" || true
check "rows travel from one copy to the other" "$work/expected-rows" "$work/pasted"

# 2. The shell reads copy 1's text: header, CR LF lines, blank rows empty.
{ printf 'Vistrom data\r\n'; printf '%s\r\n' "${rows[@]}"; } >"$work/expected-text"
xclip -o -selection clipboard >"$work/read-text"
check "a text editor reads the clipboard text byte for byte" "$work/expected-text" "$work/read-text"

# 3. A text editor's text (LF only, no final line end) pastes into copy 2;
#    copy 1 gives up the clipboard and ends by itself.
printf 'Vistrom data\r\n/x/a.bmp\n\n/x/b.bmp' | xclip -i -selection clipboard 2>/dev/null
for _ in $(seq 100); do kill -0 "$copier_pid" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$copier_pid" 2>/dev/null; then
  echo "FAIL copy 1 still runs after losing the clipboard"; failures=$((failures + 1))
else
  echo "ok   copy 1 ends once another program owns the clipboard"
fi
copier_pid=""
printf '/x/a.bmp\n/x/b.bmp\n' >"$work/expected-editor"
"$peer" paste >"$work/pasted-editor" 2>>"$work/paste.err" || true
check "text from a text editor pastes as rows" "$work/expected-editor" "$work/pasted-editor"

# 4. Text that is not row data is refused.
printf 'just some words\n' | xclip -i -selection clipboard 2>/dev/null
status=0
"$peer" paste >"$work/pasted-other" 2>>"$work/paste.err" || status=$?
if [ "$status" -eq 2 ] && [ ! -s "$work/pasted-other" ]; then
  echo "ok   other text is refused"
else
  echo "FAIL other text: status $status"; failures=$((failures + 1))
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"; cat "$work/paste.err" >&2; exit 1
fi
echo "all clipboard checks passed"
