#!/usr/bin/env bash
# Runs orvanta-cli on a card image that behaves like a slow card reader:
# bench/slow_device_shim makes every read and write of the image wait 0.2 ms
# plus its length at 25 MB/s, and counts the opens of it. Prints, for each
# command, the time it took and what the device saw; the deep Find is also
# given as a multiple of the device's floor, `dd bs=1M` of the whole image
# through the same shim.
#
#   scripts/slow_device.sh [BUILD_DIR] [ORVANTA_CLI]
set -euo pipefail
build=$(realpath "${1:-build/dev}")
cli=$(realpath "${2:-$build/bin/orvanta-cli}")
shim=$build/lib/libslow_device_shim.so
[[ -x $cli && -f $shim ]] || { echo "build $build first (orvanta-cli, slow_device_shim)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
img=$work/card.img
mib=${ORVANTA_SLOW_CARD_MIB:-320}

# A camera card, used and then quick-formatted: 20 folders of photos.
mkfs.fat -F 32 -s 8 -n CARD -C "$img" $((mib * 1024)) >/dev/null
for f in $(seq 100 119); do
  mkdir -p "$work/tree/DCIM/${f}MEDIA"
  for i in $(seq 1 12); do
    head -c $(((64 + (f * 12 + i) % 7 * 64) * 1024)) /dev/urandom >"$work/tree/DCIM/${f}MEDIA/IMG_${f}$i.JPG"
  done
done
mcopy -s -i "$img" "$work/tree/DCIM" ::/
rm -rf "$work/tree"
mkfs.fat -F 32 -s 8 -n CARD "$img" >/dev/null
cat "$img" >/dev/null # into the page cache

slow() { # NAME COMMAND... : runs the command on the slow device
  local name=$1 report=$work/report
  shift
  : >"$report"
  local start end
  start=$(date +%s.%N)
  ORVANTA_SLOW_DEVICE=$img ORVANTA_SLOW_DEVICE_REPORT=$report LD_PRELOAD=$shim "$@" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  local seconds
  seconds=$(echo "$end - $start" | bc)
  printf '%-24s %7.2f s   %s\n' "$name" "$seconds" "$(tail -1 "$report")"
  last=$seconds
}

echo "card image: $mib MiB, FAT32, 4 KiB clusters; device: 0.2 ms a call + 25 MB/s"
slow "dd bs=1M (floor)" dd if="$img" of=/dev/null bs=1M
floor=$last
slow "info" "$cli" info "$img"
slow "find" "$cli" find "$img"
slow "find deep" "$cli" find --deep "$img"
deep=$last
slow "restore deep" "$cli" restore --deep --to "$work/out" "$img"
slow "wipe" "$cli" wipe --yes "$img"
slow "wipe deep" "$cli" wipe --deep --yes "$img"
echo "find deep / floor: $(echo "scale=3; $deep / $floor" | bc)"
