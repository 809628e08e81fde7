#!/bin/bash
# A person's way through the desktop program under X with a window manager:
# Find on a card, a right click on a folder other than the selected one opens
# the menu at the pointer, and "Restore folder" restores that folder's files.
# Runs under Xvfb with Openbox, driven with xdotool; exits 77 (skipped) with
# one line saying why where X cannot be started.
#
# usage: journey.sh PATH-TO-orvanta
set -u

program=${1:?usage: journey.sh PATH-TO-orvanta}

skip() {
  echo "SKIP: $*"
  exit 77
}
fail() {
  echo "FAIL: $*"
  exit 1
}

for tool in Xvfb openbox xdotool xwininfo xprop mkfs.fat mmd mcopy mdel; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/bootstrap.sh installs it)"
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null
  done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The card: two deleted photos in DCIM/100MEDIA and two deleted documents.
export MTOOLS_SKIP_CHECK=1
card=$work/card.img
mkfs.fat -C -n JOURNEY "$card" 16384 >/dev/null || fail "mkfs.fat"
mkdir -p "$work/files"
head -c 5000 /dev/urandom >"$work/files/photo1.jpg"
head -c 7000 /dev/urandom >"$work/files/photo2.jpg"
head -c 3000 /dev/urandom >"$work/files/letter.txt"
head -c 1200 /dev/urandom >"$work/files/notes.txt"
mmd -i "$card" ::DCIM ::DCIM/100MEDIA ::Documents &&
  mcopy -i "$card" "$work/files/photo1.jpg" "$work/files/photo2.jpg" ::DCIM/100MEDIA/ &&
  mcopy -i "$card" "$work/files/letter.txt" "$work/files/notes.txt" ::Documents/ &&
  mdel -i "$card" ::DCIM/100MEDIA/photo1.jpg ::DCIM/100MEDIA/photo2.jpg ::Documents/letter.txt \
    ::Documents/notes.txt || fail "mtools"

# X and the window manager.
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 500); do
  [ -s "$work/display" ] && break
  kill -0 "${pids[0]}" 2>/dev/null || break
  sleep 0.02
done
[ -s "$work/display" ] || skip "Xvfb cannot start: $(tail -n 1 "$work/xvfb.log")"
export DISPLAY=:$(head -n 1 "$work/display")
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 500); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.02
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || skip "openbox does not start"

# The program, with a private home and settings: no hints, no tips.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME/orvanta" "$work/out"
mkdir -m 700 "$XDG_RUNTIME_DIR"
printf '[Settings]\nLanguage=1\nHint1=0\nHint2=0\nPromo1=0\nPromo2=0\n' >"$XDG_CONFIG_HOME/orvanta/settings.ini"
export ORVANTA_DRIVES="E=$card" QT_QPA_PLATFORM=xcb
"$program" >"$work/program.log" 2>&1 &
pids+=($!)

# The visible window named $1, waited for; its id.
window() {
  local id
  for _ in $(seq 250); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.02
  done
  return 1
}
# X Y of a window's top-left corner on the screen.
origin() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}'
}
# Clicks button $4 at $2,$3 inside window $1.
click() {
  local x y
  read -r x y < <(origin "$1")
  xdotool mousemove $((x + $2)) $((y + $3)) sleep 0.05 click "$4"
}
# Waits until window $1 is gone.
gone() {
  for _ in $(seq 250); do
    xwininfo -id "$1" 2>/dev/null | grep -q IsViewable || return 0
    sleep 0.02
  done
  return 1
}

main=$(window Orvanta) || fail "the main window did not appear"
sleep 0.2
click "$main" 135 477 1 # Find
info=$(window Information) || fail "no report after Find"
click "$info" 150 180 1 # OK
gone "$info"
results=$(window Orvanta) || fail "the results window did not appear"
[ "$results" != "$main" ] || fail "the main window stayed in front"
sleep 0.2

# 100MEDIA selected; the right click goes to Documents, below it.
click "$results" 146 117 1
read -r rx ry < <(origin "$results")
px=$((rx + 130)) py=$((ry + 135))
before=$(xwininfo -root -children | awk '/^ +0x/ {print $1}' | sort)
xdotool mousemove "$px" "$py" sleep 0.05 click 3
menu=
for _ in $(seq 100); do
  for id in $(comm -13 <(echo "$before") <(xwininfo -root -children | awk '/^ +0x/ {print $1}' | sort)); do
    xwininfo -id "$id" | grep -q IsViewable && menu=$id
  done
  [ -n "$menu" ] && break
  sleep 0.02
done
[ -n "$menu" ] || fail "no context menu after the right click"
read -r mx my < <(origin "$menu")
if [ $((mx - px)) -lt -2 ] || [ $((mx - px)) -gt 2 ] || [ $((my - py)) -lt -2 ] || [ $((my - py)) -gt 2 ]; then
  fail "the menu opened at ($mx,$my), the pointer was at ($px,$py)"
fi
click "$menu" 30 12 1 # Restore folder

chooser=$(window 'Please select folder to save restored files') || fail "no folder chooser"
sleep 0.2
# Its middle near the results window's (its frame is the window manager's).
read -r cx cy < <(origin "$chooser")
cw=$(xwininfo -id "$chooser" | awk '/Width:/ {print $NF}')
ch=$(xwininfo -id "$chooser" | awk '/Height:/ {print $NF}')
dx=$((cx + cw / 2 - rx - 400)) dy=$((cy + ch / 2 - ry - 300))
if [ $((dx * dx + dy * dy)) -gt 1600 ]; then
  fail "the folder chooser opened at ($cx,$cy), not centred on the results window at ($rx,$ry)"
fi
xdotool key ctrl+a
xdotool type --delay 5 "$work/out"
xdotool key Return
info=$(window Information) || fail "no report after the restore"
# Centred on the results window (both without a frame), not where the window
# manager would put it.
read -r ix iy < <(origin "$info")
if [ $((ix - rx - 250)) -lt -2 ] || [ $((ix - rx - 250)) -gt 2 ] ||
  [ $((iy - ry - 190)) -lt -2 ] || [ $((iy - ry - 190)) -gt 2 ]; then
  fail "the report opened at ($ix,$iy), not centred on the results window at ($rx,$ry)"
fi
click "$info" 150 180 1

# A deleted short name has lost its first letter: matched without it.
for f in letter.txt notes.txt; do
  restored=$(find "$work/out" -iname "?${f:1}" -type f | head -n 1)
  [ -n "$restored" ] || fail "$f was not restored: $(cd "$work/out" && find . | tr '\n' ' ')"
  cmp -s "$restored" "$work/files/$f" || fail "$f was restored with other bytes"
done
if find "$work/out" -iname '?hoto*' | grep -q .; then
  fail "the selected folder's photos were restored instead"
fi
echo "menu at the pointer ($mx,$my); Documents restored"
