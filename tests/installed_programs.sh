#!/bin/sh
# The program as it lands on a user's machine, run from there.
#   installed_programs.sh install BUILD_DIR CMAKE   # cmake --install --prefix into a private folder
#   installed_programs.sh package BUILD_DIR CPACK   # the Debian package, unpacked with dpkg-deb -x
# Checks the program folder (PREFIX/lib/mantole: programs, libraries, stub,
# data; nothing of the tests'), the links in PREFIX/bin, the application
# entry and the icon; then, through the links, mantole-cli lists, converts,
# tests and turns back an archive made by Info-ZIP zip, and mantole-shell
# makes an executable with the stub and settings of its own folder. For the package,
# dpkg-deb -I must show computed dependencies on Qt 6 and zlib.
set -eu
mode=$1 build=$2 tool=$3

fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "$mode" = package ] && ! command -v dpkg-deb >/dev/null; then
    echo "SKIP: dpkg-deb is missing (Debian package dpkg): the Debian package is not checked"
    exit 77
fi
for need in zip cmp; do
    command -v $need >/dev/null || fail "$need is missing (scripts/ensure-packages.sh test installs it)"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "$mode" = install ]; then
    # A prefix with a blank: the entry's Exec line must quote it.
    prefix="$work/my programs"
    "$tool" --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }
    named=$prefix
else
    command -v dpkg-shlibdeps >/dev/null || fail "dpkg-shlibdeps is missing (Debian package dpkg-dev)"
    # No compression: the test build's programs are large and the archive
    # format is not what is checked here.
    "$tool" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" -D CPACK_DEBIAN_COMPRESSION_TYPE=none \
        > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack -G DEB"; }
    set -- "$work"/out/mantole_*.deb
    [ -f "$1" ] || { cat "$work/cpack.log"; fail "no mantole_*.deb written"; }
    deb=$1
    dpkg-deb -I "$deb" > "$work/control"
    grep -q '^ Package: mantole$' "$work/control" || fail "package name: $(cat "$work/control")"
    grep -q '^ Section: utils$' "$work/control" || fail "section: $(cat "$work/control")"
    grep -q '^ Maintainer: .*<.*@.*>$' "$work/control" || fail "maintainer: $(cat "$work/control")"
    depends=$(sed -n 's/^ Depends: //p' "$work/control")
    for package in libqt6core6 libqt6widgets6 libqt6gui6 zlib1g libc6; do
        echo "$depends" | grep -Eq "(^|, )$package[a-z0-9]*( |,|$)" || fail "Depends lacks $package: $depends"
    done
    dpkg-deb -x "$deb" "$work/root"
    prefix="$work/root/usr"
    named=/usr
fi

program="$prefix/lib/mantole"
for file in mantole mantole-cli mantole-shell libziplib.so libunzlib.so SfxStub.bin icones.dll matrix.gif \
            11.wav error.wav french.lgn english.lgn deutsch.lgn italiano.lgn espanol.lgn velmorak.html \
            velmorak_e.html icons/hicolor/48x48/apps/mantole.png mantole.installed; do
    [ -f "$program/$file" ] || fail "$program/$file is missing"
done
for file in SfxStub64.bin tmp MANTOLE.INI; do
    [ ! -e "$program/$file" ] || fail "$program/$file should not be installed"
done
for command in mantole mantole-cli mantole-shell; do
    [ "$(readlink "$prefix/bin/$command")" = "../lib/mantole/$command" ] || fail "$prefix/bin/$command is no link into the program folder"
done
[ -f "$prefix/share/icons/hicolor/48x48/apps/mantole.png" ] || fail "no icon in share/icons/hicolor"
entry="$prefix/share/applications/mantole.desktop"
grep -qx "Exec=\"$named/lib/mantole/mantole\" %f" "$entry" || fail "Exec line of $entry: $(grep Exec "$entry")"
grep -qx 'Icon=mantole' "$entry" || fail "Icon line of $entry"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
fi

# A private home, and a current folder without a stub: what the programs
# use must come from their own folder, found through the links.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data" \
       XDG_CACHE_HOME="$work/home/cache" XDG_RUNTIME_DIR="$work/home/runtime" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
mkdir -p "$work/files/docs"
printf 'first file\n' > "$work/files/docs/a.txt"
seq 1 2000 > "$work/files/docs/numbers.txt"
cd "$work/files"
zip -q -r demo.zip docs
cp demo.zip original.zip
cli="$prefix/bin/mantole-cli"

"$cli" list demo.zip > list.txt || fail "mantole-cli list"
grep -q 'docs/numbers.txt' list.txt || fail "list: $(cat list.txt)"
"$cli" to-exe demo.zip --title "Installed" --output demo.exe > /dev/null || fail "mantole-cli to-exe"
stub_size=$(wc -c < "$program/SfxStub.bin")
cmp -n "$stub_size" "$program/SfxStub.bin" demo.exe || fail "demo.exe does not begin with the program folder's stub"
"$cli" info demo.exe --json > info.json || fail "mantole-cli info"
grep -q '"SFXCaption": *"Installed"' info.json || fail "info: $(cat info.json)"
"$cli" test demo.exe > test.txt 2>&1 || fail "mantole-cli test (libunzlib.so of the program folder): $(cat test.txt)"
"$cli" to-zip demo.exe --keep --output back.zip > /dev/null || fail "mantole-cli to-zip"
cmp original.zip back.zip || fail "the archive did not come back byte for byte"

"$prefix/bin/mantole-shell" to-exe demo.zip 2> shell.txt || fail "mantole-shell to-exe: $(cat shell.txt)"
set -- *demo.exe
made=
for exe in "$@"; do [ "$exe" != demo.exe ] && made=$exe; done
[ -n "$made" ] || fail "mantole-shell wrote no dated executable: $(ls)"
# Its stub carries the icon the wizard's settings name, so it is not
# compared byte for byte: the executable must read back and give the
# archive back.
"$cli" info "$made" > /dev/null || fail "mantole-cli info $made"
"$cli" to-zip "$made" --keep --output shell-back.zip > /dev/null || fail "mantole-cli to-zip $made"
cmp original.zip shell-back.zip || fail "the archive inside $made is not the original"

# The wizard of an installed copy keeps its settings and working folder in
# the user's folders, even where it could write its own (as root can).
MANTOLE_EXIT_AFTER_SHOW=1 ASAN_OPTIONS=detect_leaks=0 "$prefix/bin/mantole" demo.zip > wizard.txt 2>&1 \
    || fail "the installed wizard did not start: $(cat wizard.txt)"
[ -f "$XDG_CONFIG_HOME/mantole/MANTOLE.INI" ] || fail "the wizard kept no settings in $XDG_CONFIG_HOME/mantole"
for file in MANTOLE.INI tmp; do
    [ ! -e "$program/$file" ] || fail "the wizard wrote $program/$file"
done
echo "ok: $mode"
