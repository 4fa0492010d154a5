#!/usr/bin/env bash
# Installs the Debian packages Mantole needs that are missing. Idempotent: as
# root it calls apt-get only when something is missing; otherwise it prints
# the command to run.
#   scripts/ensure-packages.sh build   # what building and running need
#   scripts/ensure-packages.sh package # plus what `cpack -G DEB` uses
#   scripts/ensure-packages.sh test    # plus the outside tools the tests use (and package's)
#   scripts/ensure-packages.sh bench   # plus what the benchmarks use
#   scripts/ensure-packages.sh fuzz    # plus clang's libFuzzer
set -euo pipefail

build=(cmake ninja-build g++ qt6-base-dev qt6-multimedia-dev shared-mime-info zlib1g-dev libssl-dev python3 g++-mingw-w64-x86-64 g++-mingw-w64-i686 libz-mingw-w64-dev)
package=(dpkg-dev file)
test=("${package[@]}" zip unzip p7zip-full wine wine64 xvfb xdotool x11-apps imagemagick dosfstools desktop-file-utils)
bench=(hyperfine time)
fuzz=(clang libclang-rt-14-dev)

wanted=("${build[@]}")
for kind in "$@"; do
    case "$kind" in
        build) ;;
        package) wanted+=("${package[@]}") ;;
        test) wanted+=("${test[@]}") ;;
        bench) wanted+=("${test[@]}" "${bench[@]}") ;;
        fuzz) wanted+=("${test[@]}" "${fuzz[@]}") ;;
        *) echo "ensure-packages: unknown kind '$kind'" >&2; exit 2 ;;
    esac
done

missing=()
for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
    echo "Mantole needs these Debian packages: ${missing[*]}" >&2
    echo "Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
