#!/usr/bin/env bash
# Makes the demo card (a FAT32 image with folders, files and some recently
# deleted files) under the build folder and shows what orvanta-cli sees on
# it; with --gui, starts the desktop program with the card as drive E:.
set -euo pipefail
gui=false
if [[ "${1:-}" == "--gui" ]]; then
  gui=true
  shift
fi
build=${1:-build/dev}
cli="$build/bin/orvanta-cli"
card="$build/demo/card.img"
export MTOOLS_SKIP_CHECK=1 PATH="$PATH:/usr/sbin:/sbin"

if [[ ! -f "$card" ]]; then
  mkdir -p "$build/demo/files"
  files="$build/demo/files"
  mkfs.fat -F 32 -n DEMOCARD -C "$card.tmp" $((64 * 1024)) >/dev/null
  mmd -i "$card.tmp" ::/DCIM ::/DCIM/100MEDIA ::/Documents ::/Music
  for i in $(seq 1 12); do
    head -c $((40000 + i * 3000)) /dev/urandom >"$files/IMG_$((1000 + i)).JPG"
    touch -d "-$((i * 3)) days" "$files/IMG_$((1000 + i)).JPG"
    mcopy -m -i "$card.tmp" "$files/IMG_$((1000 + i)).JPG" ::/DCIM/100MEDIA/
  done
  printf 'Quarterly report\n%.0s' $(seq 1 400) >"$files/Report 2026.txt"
  printf 'Shopping list: milk, bread\n' >"$files/notes.txt"
  head -c 300000 /dev/urandom >"$files/Holiday video.mp4"
  touch -d "-2 days" "$files/Report 2026.txt" "$files/notes.txt" "$files/Holiday video.mp4"
  mcopy -m -i "$card.tmp" "$files/Report 2026.txt" "$files/notes.txt" ::/Documents/
  mcopy -m -i "$card.tmp" "$files/Holiday video.mp4" ::/
  head -c 90000 /dev/urandom >"$files/song.mp3"
  mcopy -m -i "$card.tmp" "$files/song.mp3" ::/Music/
  # What the user lost:
  mdel -i "$card.tmp" ::/DCIM/100MEDIA/IMG_1003.JPG ::/DCIM/100MEDIA/IMG_1007.JPG
  mdel -i "$card.tmp" "::/Documents/Report 2026.txt" "::/Holiday video.mp4"
  mdeltree -i "$card.tmp" ::/Music
  mv "$card.tmp" "$card"
fi

if $gui; then
  echo "== orvanta with $card as drive E:"
  ORVANTA_DRIVES="E=$(realpath "$card")" exec "$build/bin/orvanta"
fi

echo "== orvanta-cli info $card"
"$cli" info "$card"
if "$cli" --help | grep -q '^  find'; then
  echo
  echo "== orvanta-cli find $card"
  "$cli" find "$card"
fi
