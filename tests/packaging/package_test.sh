#!/usr/bin/env bash
# Builds the Debian package from a configured build folder, checks that apt
# can install it on this machine (its dependencies resolve) and that the
# unpacked programs work from their installed places: the links in
# /usr/bin reach the programs, which find their Languages folder beside
# themselves, and the desktop program draws its windows.
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(echo "$work"/package/orvanta_*.deb)

apt-get install --simulate --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; exit 1; }
grep -q '^Inst orvanta ' "$work/apt.log" || { cat "$work/apt.log"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6svg6 libudev1 libblkid1 qt6-qpa-plugins; do
  [[ "$depends" == *"$library"* ]] || { echo "Depends lacks $library: $depends"; exit 1; }
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop=$(echo "$root"/usr/share/applications/*.desktop)
metainfo=$(echo "$root"/usr/share/metainfo/*.metainfo.xml)
for file in usr/bin/orvanta usr/bin/orvanta-cli usr/lib/orvanta/Languages/German.lng \
  "${desktop#"$root/"}" "${metainfo#"$root/"}" usr/share/doc/orvanta/copyright \
  usr/share/icons/hicolor/scalable/apps/orvanta.svg usr/share/man/man1/orvanta-cli.1.gz; do
  [[ -e "$root/$file" ]] || { echo "missing /$file"; exit 1; }
done
# The desktop entry and the AppStream metadata validate (the tools come with
# the bootstrap); the manual page formats without warnings.
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" ||
  { cat "$work/appstream.log"; exit 1; }
zcat "$root/usr/share/man/man1/orvanta-cli.1.gz" | groff -man -Tutf8 -ww >/dev/null

# No placeholder address in anything shipped, nor in the package's fields.
if grep -rl 'orvanta\.example' "$root" || dpkg-deb -f "$deb" | grep 'orvanta\.example'; then
  echo "a placeholder address is shipped"; exit 1
fi

# Every option of every command is in the manual page, and --version answers.
manual=$(zcat "$root/usr/share/man/man1/orvanta-cli.1.gz" | sed 's/\\-/-/g')
for command in info find restore wipe; do
  for option in $("$root/usr/bin/orvanta-cli" "$command" --help | grep -o -- '--[a-z-]*' | sort -u); do
    [[ "$manual" == *"$option"* ]] || { echo "the manual lacks $command $option"; exit 1; }
  done
done
version=$("$root/usr/bin/orvanta-cli" --version)
[[ "$version" == "orvanta-cli $(dpkg-deb -f "$deb" Version)" ]] || { echo "--version: $version"; exit 1; }

# German texts through the link: the program found Languages beside itself.
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME/orvanta" "$XDG_RUNTIME_DIR"
printf '[Settings]\nLanguage=2\n' >"$XDG_CONFIG_HOME/orvanta/settings.ini"
if "$root/usr/bin/orvanta-cli" info "$work/no-such-card.img" 2>"$work/cli.err"; then
  echo "orvanta-cli accepted a missing card"; exit 1
fi
grep -q 'Laufwerk nicht gefunden!' "$work/cli.err" || { cat "$work/cli.err"; exit 1; }

QT_QPA_PLATFORM=offscreen "$root/usr/bin/orvanta" --screenshot "$work/pictures" >/dev/null
[[ -s "$work/pictures/main_window@2x.png" ]] || { echo "no pictures drawn"; exit 1; }
echo "package ok: $(basename "$deb")"
