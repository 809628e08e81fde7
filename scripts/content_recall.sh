#!/usr/bin/env bash
# Recall of files found by their content on camera cards formatted in the
# camera and used again, side by side with PhotoRec.
#
#   scripts/content_recall.sh CLI [CARD...]
#
# For each card (FAT32 with 4 KiB clusters, FAT16 with 32 KiB, FAT16 with
# 4 KiB, FAT32 with 32 KiB, exFAT with 4 KiB and with 32 KiB; CARD names
# some of them: fat32-4k fat16-32k fat16-4k fat32-32k exfat-4k exfat-32k):
# PHOTOS (default 120) JPEG photos made by ImageMagick with Exif dates and
# thumbnails set by exiftool, three MP4 clips and three PDFs, written one by
# one as a camera writes them (mtools; on exFAT the exfat_card_writer built
# beside CLI, or EXFAT_WRITER); the card is quick-formatted over the same
# geometry and NEW (default 12) new photos are taken. The files whose bytes
# survived are then looked for among what `CLI restore --deep` and PhotoRec
# give back: byte for byte, and for the CLI with the date the file records
# as the restored file's time. Needs imagemagick, libimage-exiftool-perl,
# python3 and testdisk.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 CLI [CARD...]" >&2; exit 2; }
cli=$(realpath "$1")
shift
cards=("$@")
[ ${#cards[@]} -gt 0 ] || cards=(fat32-4k fat16-32k fat16-4k fat32-32k exfat-4k exfat-32k)
writer=${EXFAT_WRITER:-$(dirname "$cli")/exfat_card_writer}
photos=${PHOTOS:-120}
new=${NEW:-12}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python=/usr/bin/python3
convert=/usr/bin/convert

# The files, once for all cards.
mkdir -p "$work/files" "$work/new"
"$convert" -size 160x120 plasma:fractal -quality 80 "$work/thumb.jpg"
args=$work/exif.args
stamps=$work/stamps
: >"$args"
: >"$stamps"
for i in $(seq 1 "$photos"); do
  f=$work/files/IMG_$(printf %04d "$i").JPG
  "$convert" -size $((640 + i % 5 * 160))x$((480 + i % 5 * 120)) -seed "$i" plasma:fractal \
    -quality $((80 + i % 15)) "$f"
  printf -- '-DateTimeOriginal=2023:%02d:%02d %02d:%02d:%02d\n-Make=Canon\n-Model=Canon EOS 80D\n-ThumbnailImage<=%s\n-overwrite_original\n-q\n%s\n-execute\n' \
    $((1 + i % 12)) $((1 + i % 28)) $((8 + i % 10)) $((i % 60)) $(((i * 7) % 60)) "$work/thumb.jpg" "$f" >>"$args"
  printf '2023-%02d-%02d %02d:%02d:%02d\t%s\n' \
    $((1 + i % 12)) $((1 + i % 28)) $((8 + i % 10)) $((i % 60)) $(((i * 7) % 60)) "$f" >>"$stamps"
done
for i in $(seq 1 "$new"); do
  "$convert" -size 800x600 -seed $((1000 + i)) plasma:fractal -quality 90 "$work/new/IMG_$(printf %04d $((photos + i))).JPG"
done
exiftool -@ "$args" >/dev/null
# Each file's time is the one it records, as a camera stamps its entry (the
# exFAT writer takes it; mcopy stamps the time of the copy).
while IFS=$'\t' read -r stamp f; do touch -d "$stamp" "$f"; done <"$stamps"
"$python" - "$work/files" <<'EOF'
import os, random, struct, sys, datetime, time
out = sys.argv[1]
def stamp(path, when): os.utime(path, (time.mktime(when.timetuple()),) * 2)
def box(t, body): return struct.pack('>I', 8 + len(body)) + t + body
for i in range(1, 4):
    created = int((datetime.datetime(2023, 8, i, 12, 30, 15) - datetime.datetime(1904, 1, 1)).total_seconds())
    mvhd = struct.pack('>IIIII', 0, created, created, 1000, 5000).ljust(100, b'\0')
    data = random.Random(i).randbytes(1_500_000 + i * 300_000)
    mp4 = box(b'ftyp', b'isom' + struct.pack('>I', 0x200) + b'isomavc1mp41') + box(b'mdat', data) + \
          box(b'moov', box(b'mvhd', mvhd) + box(b'udta', box(b'name', b'clip')))
    open(os.path.join(out, 'MVI_%04d.MP4' % (900 + i)), 'wb').write(mp4)
    stamp(os.path.join(out, 'MVI_%04d.MP4' % (900 + i)), datetime.datetime(2023, 8, i, 12, 30, 15))
for i in range(1, 4):
    stream = random.Random(100 + i).randbytes(60_000 * i)
    pdf = b'%PDF-1.5\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n'
    pdf += b'2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n'
    pdf += b'3 0 obj\n<< /Producer (recall) /CreationDate (D:202309%02d141516Z) >>\nendobj\n' % i
    pdf += b'4 0 obj\n<< /Length %d >>\nstream\n' % len(stream) + stream + b'\nendstream\nendobj\n'
    pdf += b'xref\n0 5\n0000000000 65535 f \ntrailer\n<< /Size 5 /Root 1 0 R /Info 3 0 R >>\nstartxref\n%d\n%%%%EOF\n' % len(pdf)
    open(os.path.join(out, 'DOC_%04d.PDF' % (950 + i)), 'wb').write(pdf)
    stamp(os.path.join(out, 'DOC_%04d.PDF' % (950 + i)), datetime.datetime(2023, 9, i, 14, 15, 16))
EOF

card() { # fat-bits (or exfat) size-KiB sectors-per-cluster
  local bits=$1 kib=$2 spc=$3 img=$work/card.img name
  rm -rf "$img" "$work/orvanta" "$work/photorec"
  if [ "$bits" = exfat ]; then
    name="exFAT, $((spc / 2)) KiB clusters"
    local steps=(mkdir DCIM mkdir DCIM/100CANON mkdir DOCS)
    for f in "$work"/files/IMG_* "$work"/files/MVI_*; do steps+=(put "DCIM/100CANON/${f##*/}" "$f"); done
    for f in "$work"/files/DOC_*; do steps+=(put "DOCS/${f##*/}" "$f"); done
    steps+=(format mkdir DCIM mkdir DCIM/100CANON)
    for f in "$work"/new/*; do steps+=(put "DCIM/100CANON/${f##*/}" "$f"); done
    "$writer" "$img" $((kib * 1024)) $((spc * 512)) "${steps[@]}" >/dev/null 2>&1
  else
    name="FAT$bits, $((spc / 2)) KiB clusters"
    mkfs.fat -F "$bits" -s "$spc" -n CAMERA -i 12345678 -C "$img" "$kib" >/dev/null 2>&1
    mmd -i "$img" ::/DCIM ::/DCIM/100CANON ::/DOCS
    for f in "$work"/files/IMG_* "$work"/files/MVI_*; do mcopy -i "$img" "$f" ::/DCIM/100CANON/; done
    for f in "$work"/files/DOC_*; do mcopy -i "$img" "$f" ::/DOCS/; done
    mkfs.fat -F "$bits" -s "$spc" -n CAMERA -i 12345678 "$img" >/dev/null 2>&1
    mmd -i "$img" ::/DCIM ::/DCIM/100CANON
    for f in "$work"/new/*; do mcopy -i "$img" "$f" ::/DCIM/100CANON/; done
  fi

  # Both from the page cache, as a card read a second time.
  local start end orvanta_s photorec_s
  cat "$img" >/dev/null
  start=$(date +%s.%N)
  "$cli" restore --deep --to "$work/orvanta" "$img" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  orvanta_s=$(echo "$end - $start" | bc)
  mkdir -p "$work/photorec"
  start=$(date +%s.%N)
  (cd "$work/photorec" && photorec /log /d "$work/photorec/rec" /cmd "$img" fileopt,everything,enable,search >/dev/null 2>&1) || true
  end=$(date +%s.%N)
  photorec_s=$(echo "$end - $start" | bc)
  "$python" - "$img" "$work/files" "$work/orvanta" "$work/photorec" "$name" "$orvanta_s" "$photorec_s" <<'EOF'
import datetime, hashlib, os, re, struct, sys
img, files, ours, theirs, name, ours_s, theirs_s = sys.argv[1:]
data = open(img, 'rb').read()
if data[3:11] == b'EXFAT   ':
    bps, spc = 1 << data[108], 1 << data[109]
    first = struct.unpack_from('<I', data, 88)[0] * bps
else:
    bps, spc = struct.unpack_from('<HB', data, 11)
    reserved, fats = struct.unpack_from('<HB', data, 14)
    roots, = struct.unpack_from('<H', data, 17)
    fat16, = struct.unpack_from('<H', data, 22)
    fatsize = fat16 or struct.unpack_from('<I', data, 36)[0]
    first = (reserved + fats * fatsize) * bps + (roots * 32 + bps - 1) // bps * bps
cluster = bps * spc
def date_of(blob):
    m = re.search(rb'(\d{4}):(\d\d):(\d\d) (\d\d):(\d\d):(\d\d)\0', blob[:70000])
    if blob[:2] == b'\xff\xd8' and m:
        return datetime.datetime(*map(int, m.groups()))
    m = re.search(rb'D:(\d{4})(\d\d)(\d\d)(\d\d)(\d\d)(\d\d)', blob)
    if blob[:4] == b'%PDF' and m:
        return datetime.datetime(*map(int, m.groups()))
    at = blob.rfind(b'mvhd')
    if at > 0:
        created, = struct.unpack_from('>I', blob, at + 8)
        return datetime.datetime(1904, 1, 1) + datetime.timedelta(seconds=created)
    return None
# A file survived when its bytes lie whole at a cluster boundary of the data area.
survivors = {}
for f in sorted(os.listdir(files)):
    blob = open(os.path.join(files, f), 'rb').read()
    at = data.find(blob[:4096], first)
    while at >= 0 and ((at - first) % cluster or data[at:at + len(blob)] != blob):
        at = data.find(blob[:4096], at + 1)
    if at >= 0:
        survivors[hashlib.sha1(blob).hexdigest()] = (f, date_of(blob))
def restored(folder):
    out = {}
    for root, _, names in os.walk(folder):
        for n in names:
            if n.endswith(('.xml', '.log')):
                continue # PhotoRec's report
            p = os.path.join(root, n)
            out.setdefault(hashlib.sha1(open(p, 'rb').read()).hexdigest(), p)
    return out
o, t = restored(ours), restored(theirs)
ours_found = [h for h in survivors if h in o]
ours_dated = [h for h in ours_found if survivors[h][1] and
              datetime.datetime.fromtimestamp(os.stat(o[h]).st_mtime) == survivors[h][1]]
theirs_found = [h for h in survivors if h in t]
kinds = lambda hs: ', '.join('%s %d' % (k, sum(1 for h in hs if survivors[h][0].endswith(k)))
                             for k in ('JPG', 'MP4', 'PDF'))
print('%s: %d of %d files survive (%s)' % (name, len(survivors), len(os.listdir(files)), kinds(survivors)))
print('  orvanta : %3d byte-identical (%5.1f%%), %3d with their date, %3d files in all, %6.2f s' %
      (len(ours_found), 100.0 * len(ours_found) / max(1, len(survivors)), len(ours_dated), len(o), float(ours_s)))
print('  photorec: %3d byte-identical (%5.1f%%), %3d files in all, %6.2f s' %
      (len(theirs_found), 100.0 * len(theirs_found) / max(1, len(survivors)),
       len(t), float(theirs_s)))
EOF
}

for c in "${cards[@]}"; do
  case $c in
    fat32-4k) card 32 300000 8 ;;
    fat16-32k) card 16 262144 64 ;;
    fat16-4k) card 16 131072 8 ;;
    fat32-32k) card 32 2200000 64 ;;
    exfat-4k) card exfat 262144 8 ;;
    exfat-32k) card exfat 262144 64 ;;
    *) echo "unknown card: $c" >&2; exit 2 ;;
  esac
done
