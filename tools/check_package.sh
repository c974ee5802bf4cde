#!/usr/bin/env bash
# Checks the Debian packages that tools/package.sh made, without installing them: the control
# fields, the files and where they lie, and that the unpacked programs and the Python module run
# with the system's libraries alone.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
  echo "check_package: $*" >&2
  exit 1
}

debs=(build-deb/quorvane_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one build-deb/quorvane_*.deb"
deb=${debs[0]}
version=$(sed -n 's/^project(Quorvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "quorvane_${version}_${arch}.deb" ] || fail "unexpected name $deb"

# Control fields.
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = quorvane ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 \
               libsodium23 libjpeg62-turbo; do
  [[ ", $depends," == *", $library "* || ", $depends," == *", $library,"* ]] ||
    fail "Depends lacks $library: $depends"
done

# Contents: every file in its standard place, and nothing from the build machine.
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
module=/usr/lib/$multiarch/quorvane/quorvane-cli-overlay.so
for path in /usr/bin/quorvane /usr/bin/quorvane-cli "$module" \
            /usr/share/quorvane/MANUAL_VAROLITH.pdf /usr/share/quorvane/section.bmp \
            /usr/share/quorvane/properties.ini \
            /usr/share/applications/io.github.quorvane.Quorvane.desktop \
            /usr/share/metainfo/io.github.quorvane.Quorvane.metainfo.xml \
            /usr/share/icons/hicolor/scalable/apps/quorvane.svg \
            /usr/share/icons/hicolor/256x256/apps/quorvane.png \
            /usr/share/man/man1/quorvane.1.gz /usr/share/man/man1/quorvane-cli.1.gz \
            /usr/share/bash-completion/completions/quorvane-cli \
            /usr/share/doc/quorvane/copyright /usr/share/doc/quorvane/changelog.gz \
            /usr/share/doc/quorvane/CHANGELOG.md.gz; do
  grep -qx "$path" <<<"$contents" || fail "missing $path"
done
if grep -v -E "^/usr/(bin|share)(/|\$)|^/usr/lib/($multiarch/(quorvane/)?)?\$|^/\$|^/usr/\$|^$module\$" \
  <<<"$contents"; then
  fail "files outside /usr/bin, /usr/share and the overlay module (above)"
fi

# Unpacked: the programs run, with no library path and no run path of the build machine.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
for program in usr/bin/quorvane usr/bin/quorvane-cli "${module#/}"; do
  if readelf -d "$unpacked/$program" | grep -Eq 'RPATH|RUNPATH'; then
    fail "$program carries a run path"
  fi
done
# The batch tool loads Qt only through its overlay module, when it draws.
if readelf -d "$unpacked/usr/bin/quorvane-cli" | grep NEEDED | grep -q 'libQt'; then
  fail "quorvane-cli links Qt: $(readelf -d "$unpacked/usr/bin/quorvane-cli" | grep NEEDED)"
fi
unset LD_LIBRARY_PATH
cli=$unpacked/usr/bin/quorvane-cli
[ "$("$cli" --version)" = "quorvane-cli $version" ] || fail "quorvane-cli --version: $("$cli" --version)"
[ "$("$unpacked/usr/bin/quorvane" --version)" = "quorvane $version" ] ||
  fail "quorvane --version: $("$unpacked/usr/bin/quorvane" --version)"
expected=$'clWhite\t0\t399\t0\t399\nclRed\t75\t324\t20\t344'
got=$("$cli" colours "$unpacked/usr/share/quorvane/section.bmp")
[ "$got" = "$expected" ] || fail "colours of the packaged example: $got"
report=$("$cli" analyse "$unpacked/usr/share/quorvane/section.bmp" --width 500 --height 650 \
  --use clRed --library "$unpacked/usr/share/quorvane/properties.ini")
grep -q 'mass = 667.25 kg/m' <<<"$report" || fail "analysis of the packaged example: $report"
# The overlay module is found from the unpacked program's folder, as from /usr/bin.
"$cli" analyse "$unpacked/usr/share/quorvane/section.bmp" --width 500 --height 650 --use clRed \
  --overlay "$unpacked/overlay.png" >/dev/null || fail "overlay of the packaged example"
[ -s "$unpacked/overlay.png" ] || fail "no overlay written"

# The Python module's package: the module alone, in the system's python3 path, depending on the
# programs' package (its overlay module) and on the interpreter it was built for.
pydebs=(build-deb/python3-quorvane_*.deb)
[ ${#pydebs[@]} -eq 1 ] && [ -f "${pydebs[0]}" ] || fail "expected one build-deb/python3-quorvane_*.deb"
pydeb=${pydebs[0]}
[ "$(basename "$pydeb")" = "python3-quorvane_${version}_${arch}.deb" ] || fail "unexpected name $pydeb"
[ "$(dpkg-deb --field "$pydeb" Package)" = python3-quorvane ] || fail "Package of $pydeb"
pydepends=$(dpkg-deb --field "$pydeb" Depends)
for dependency in "quorvane (= $version)" "python3 (>= 3." "python3 (<< 3." python3-numpy libc6; do
  [[ "$pydepends" == *"$dependency"* ]] || fail "Depends of $pydeb lacks $dependency: $pydepends"
done
pycontents=$(dpkg-deb --contents "$pydeb" | awk '{print $NF}' | sed 's|^\./|/|')
pymodule=$(grep -x '/usr/lib/python3/dist-packages/quorvane\.cpython-[0-9]*-[a-z0-9_-]*\.so' \
  <<<"$pycontents") || fail "no Python module in $pydeb: $pycontents"
if grep -v -E "^/usr/(lib/(python3/(dist-packages/)?)?)?\$|^/\$|^$pymodule\$" <<<"$pycontents"; then
  fail "files besides the Python module in $pydeb (above)"
fi
dpkg-deb --extract "$pydeb" "$unpacked"
if readelf -d "$unpacked$pymodule" | grep -Eq 'RPATH|RUNPATH'; then
  fail "$pymodule carries a run path"
fi
# Imported from the unpacked tree, it analyses the packaged example and finds the overlay module
# beside the programs, as from /usr/lib/python3/dist-packages.
python=$(PYTHONPATH="$unpacked/usr/lib/python3/dist-packages" /usr/bin/python3 -c "
import quorvane
picture = quorvane.read_picture('$unpacked/usr/share/quorvane/section.bmp')
library = quorvane.Library.load('$unpacked/usr/share/quorvane/properties.ini')
result = quorvane.analyse(picture, 500, 650, ['clRed'], library=library)
print(quorvane.__version__, result.to_dict()['mass_per_m'], result.overlay().shape)
") || fail "the unpacked Python module does not run"
[ "$python" = "$version 667.25 (400, 400, 3)" ] || fail "the unpacked Python module: $python"

# The desktop files and the man pages as a desktop and man would read them.
appstreamcli validate --no-net \
  "$unpacked/usr/share/metainfo/io.github.quorvane.Quorvane.metainfo.xml"
desktop-file-validate "$unpacked/usr/share/applications/io.github.quorvane.Quorvane.desktop"
for page in quorvane quorvane-cli; do
  warnings=$(zcat "$unpacked/usr/share/man/man1/$page.1.gz" |
    LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1) || fail "$page.1 does not render"
  [ -z "$warnings" ] || fail "$page.1: $warnings"
done
bash -n "$unpacked/usr/share/bash-completion/completions/quorvane-cli"

echo "check_package: $deb is complete ($(dpkg-deb --contents "$deb" | wc -l) entries)"
echo "check_package: $pydeb is complete ($(dpkg-deb --contents "$pydeb" | wc -l) entries)"
