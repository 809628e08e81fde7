#!/usr/bin/env bash
# orvanta-cli.exe under Wine held to orvanta-cli on Linux: on the same cards
# (made here with mkfs.fat and mtools), info, find, find --deep, restore and
# both wipes must print the same, end the same and leave the same bytes.
# orvanta-cli.exe reads each card twice: as an image file, and as drive F:
# (\\.\F:, the raw volume Wine opens through the link dosdevices/f:: made
# here; E: stays with the other Windows tests). The image's name shows in
# none of these outputs (the drive is called E: unless --drive says else),
# and drive F: calls itself F:, so the drive side is held to the Linux
# build told --drive F:. The outputs are compared as they are.
#   cli_compare.sh LINUX_CLI WINDOWS_CLI WINE_RUN WINE_PREFIX WORK_DIR
set -euo pipefail
linux_cli=$1 windows_cli=$2 wine_run=$3 prefix=$4 work=$5
if [[ ! -x $linux_cli ]]; then
  echo "cli_compare: no Linux build of orvanta-cli at $linux_cli (make build first)" >&2
  exit 1
fi
linux_cli=$(realpath "$linux_cli") windows_cli=$(realpath "$windows_cli")
wine_run=$(realpath "$wine_run") prefix=$(realpath -m "$prefix")
rm -rf "$work"
mkdir -p "$work"
cd "$work"
work=$(pwd)
export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 TZ=UTC
failures=0
drive='\\.\F:' drive_link=$prefix/dosdevices/f::
trap 'rm -f "$drive_link"' EXIT

# A card with folders, long names beyond ASCII and deleted files and folders.
make_card() {
  local image=$1 bits=$2 kib=$3
  mkfs.fat -C -F "$bits" -n CARD "$image" "$kib" >/dev/null
  mmd -i "$image" ::/DCIM ::/DCIM/100MEDIA ::/Docs
  local i
  for i in 1 2 3 4 5 6; do
    head -c $((i * 9000 + 77)) /dev/urandom >"photo$i.jpg"
    mcopy -i "$image" "photo$i.jpg" "::/DCIM/100MEDIA/IMG_000$i.JPG"
  done
  head -c 20000 /dev/urandom >"фото ü.jpg"
  mcopy -i "$image" "фото ü.jpg" "::/DCIM/фото ü.jpg"
  printf 'notes\r\n%.0s' {1..300} >notes.txt
  mcopy -i "$image" notes.txt "::/Docs/A long file name.txt"
  mcopy -i "$image" notes.txt ::/Docs/keep.txt
  mdel -i "$image" ::/DCIM/100MEDIA/IMG_0002.JPG ::/DCIM/100MEDIA/IMG_0005.JPG "::/DCIM/фото ü.jpg" \
    "::/Docs/A long file name.txt"
  mdeltree -i "$image" ::/Docs
  rm -f photo*.jpg "фото ü.jpg" notes.txt
}

# run SIDE NAME ARGS...: one command in SIDE's folder; its stdout, stderr
# (carriage returns dropped) and exit code in SIDE/NAME.{out,err,code}. On
# the drive side the device is drive F: (its card is drive/card.img); the
# side linux-f is the Linux build on its own card told --drive F:.
run() {
  local side=$1 name=$2
  shift 2
  local code=0
  if [[ $side == linux ]]; then
    (cd linux && "$linux_cli" "$@" >"$name.out" 2>"$name.err") || code=$?
  elif [[ $side == linux-f ]]; then
    (cd linux-f && "$linux_cli" "$1" --drive F: "${@:2}" >"$name.out" 2>"$name.err") || code=$?
  else
    local args=("$@") i
    if [[ $side == drive ]]; then
      for i in "${!args[@]}"; do [[ ${args[i]} == card.img ]] && args[i]=$drive; done
    fi
    (cd "$side" && "$wine_run" "$prefix" "$windows_cli" "${args[@]}" >"$name.out" 2>"$name.err") || code=$?
    sed -i 's/\r$//' "$side/$name.out" "$side/$name.err"
  fi
  echo "$code" >"$side/$name.code"
}

same() {
  local what=$1
  shift
  if ! "$@" >/dev/null 2>&1; then
    echo "DIFFERS: $what" >&2
    "$@" >&2 || true
    failures=$((failures + 1))
  else
    echo "same: $what"
  fi
}

both() {
  local name=$1 side part
  shift
  for side in linux linux-f windows drive; do
    run "$side" "$name" "$@"
  done
  for part in out err code; do
    same "$name ($part, windows)" diff "linux/$name.$part" "windows/$name.$part"
    same "$name ($part, drive)" diff "linux-f/$name.$part" "drive/$name.$part"
  done
}

# same_files WHAT FILE...: each FILE on the Windows sides as on the Linux side.
same_files() {
  local what=$1 file
  shift
  for file; do
    same "$label $what (windows)" diff -r "linux/$file" "windows/$file"
    same "$label $what (drive)" diff -r "linux-f/$file" "drive/$file"
  done
}

fresh_cards() {
  local side
  for side in linux linux-f windows drive; do
    cp "$label.img" "$side/card.img"
  done
}

for card in fat16:16:32768 fat32:32:70000; do
  IFS=: read -r label bits kib <<<"$card"
  make_card "$label.img" "$bits" "$kib"
  rm -rf linux linux-f windows drive
  mkdir linux linux-f windows drive
  ln -sfn "$work/drive/card.img" "$drive_link"
  fresh_cards
  both "$label-info" info card.img
  both "$label-find" find card.img
  both "$label-find-deep" find --deep card.img
  both "$label-find-json" find --json card.img
  both "$label-restore" restore --to restored card.img
  same_files "restored files" restored
  both "$label-restore-deep" restore --deep --to restored-deep card.img
  same_files "restored files (deep)" restored-deep
  both "$label-wipe" wipe --yes card.img
  same_files "card after wipe" card.img
  fresh_cards
  both "$label-wipe-deep" wipe --deep --yes card.img
  same_files "card after deep wipe" card.img
  same "$label deep wipe changed the card" bash -c "! cmp -s $label.img linux/card.img"
done

if ((failures > 0)); then
  echo "cli_compare: $failures differences between orvanta-cli.exe and orvanta-cli" >&2
  exit 1
fi
echo "cli_compare: orvanta-cli.exe matches orvanta-cli"
