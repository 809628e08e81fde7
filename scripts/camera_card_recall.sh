#!/usr/bin/env bash
# Recall of the deep scan on re-formatted camera cards.
#
#   scripts/camera_card_recall.sh CLI [CLI ...]
#
# Makes cards with mkfs.fat and mtools the way a camera fills them (one
# mcopy per photo, so each new directory cluster lands after the photos
# written so far), formats them again over the same geometry, and prints for
# each orvanta-cli given how many of the photos written its deep scan finds,
# and how many rows it gives beyond them. PHOTOS (default 360) sets the
# number of photos a card; they go 300 into 100CANON and the rest into
# 101CANON, named as cameras name them. PART=camera or PART=control runs
# one half only.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 CLI [CLI ...]" >&2; exit 2; }
photos=${PHOTOS:-360}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_card() { # image fat-bits size-KiB sectors-per-cluster
  local img=$1
  mkfs.fat -F "$2" -s "$4" -n CAMERA -i 12345678 -C "$img" "$3" >/dev/null
  mmd -i "$img" ::/DCIM ::/DCIM/100CANON ::/DCIM/101CANON
  : >"$img.written"
  for i in $(seq 1 "$photos"); do
    local folder=100CANON
    [ "$i" -le 300 ] || folder=101CANON
    local name
    name=$(printf 'IMG_%04d.JPG' "$i")
    head -c $((2048 + (i * 1237) % 6144)) /dev/urandom >"$work/$name"
    mcopy -o -i "$img" "$work/$name" "::/DCIM/$folder/$name"
    printf '%s\t%s\n' "$name" "$(stat -c %s "$work/$name")" >>"$img.written"
    rm "$work/$name"
  done
  mkfs.fat -F "$2" -s "$4" -n CAMERA -i 12345678 "$img" >/dev/null
  sort -o "$img.written" "$img.written"
}

clis=("$@")
part=${PART:-all}
[ "$part" = control ] ||
for card in "16 65536 4" "16 32768 1" "32 65536 1" "32 131072 2"; do
  read -r bits kib spc <<<"$card"
  img="$work/card$bits-$spc.img"
  make_card "$img" "$bits" "$kib" "$spc"
  for cli in "${clis[@]}"; do
    "$cli" find --deep --json --drive E: "$img" 2>/dev/null |
      jq -r '.files[] | "\(.name)\t\(.size)"' | sort >"$img.found"
    found=$(comm -12 "$img.written" <(sort -u "$img.found") | wc -l)
    rows=$(wc -l <"$img.found")
    printf 'FAT%s, %3d B clusters, %s photos: %-40s found %4d (%5.1f%%), other rows %d\n' \
      "$bits" $((spc * 512)) "$photos" "$cli" "$found" "$(echo "100 * $found / $photos" | bc -l)" \
      $((rows - found))
  done
done

# Control: cards full of photo-like, random and text data in folders that
# each fit one directory cluster, in use (some files deleted) and
# re-formatted. Whatever the data, the clusters that hold it must not be
# read as directories: every orvanta-cli given must find the same files
# (size, date, first cluster and mark; folder and file names may differ
# where one names lost folders and the other does not).
control_card() { # image fat-bits size-KiB sectors-per-cluster
  local img=$1 src=$work/src
  mkfs.fat -F "$2" -s "$4" -n CONTROL -i 12345678 -C "$img" "$3" >/dev/null
  for f in $(seq 1 40); do
    rm -rf "$src" && mkdir "$src"
    for i in $(seq 1 12); do
      local size=$((RANDOM * 3 % 60000 + 1))
      case $((i % 3)) in
        0) { printf '\xff\xd8\xff\xe1'; head -c "$size" /dev/urandom; printf '\xff\xd9'; } >"$src/P$i.JPG" ;;
        1) head -c "$size" /dev/urandom >"$src/R$i.BIN" ;;
        2) head -c "$size" /dev/urandom | base64 -w 76 | head -c "$size" >"$src/t$i.txt" || true ;;
      esac
    done
    mmd -i "$img" "::/F$f"
    mcopy -i "$img" "$src"/* "::/F$f/"
    mdel -i "$img" "::/F$f/R1.BIN"
  done
}

[ "$part" = camera ] ||
for card in "16 32768 4" "32 65536 1"; do
  read -r bits kib spc <<<"$card"
  img="$work/control$bits.img"
  control_card "$img" "$bits" "$kib" "$spc"
  for state in "in use" "re-formatted"; do
    [ "$state" = "in use" ] || mkfs.fat -F "$bits" -s "$spc" -n CONTROL -i 12345678 "$img" >/dev/null
    outputs=()
    for cli in "${clis[@]}"; do
      outputs+=("$("$cli" find --deep --json --drive E: "$img" 2>/dev/null |
        jq -c '[.files[] | {size, date, cluster, mark}] | sort')")
    done
    same=yes
    for o in "${outputs[@]}"; do [ "$o" = "${outputs[0]}" ] || same=no; done
    printf 'control FAT%s %s: rows %s, same rows from every cli: %s\n' "$bits" "$state" \
      "$(jq length <<<"${outputs[0]}")" "$same"
  done
done
