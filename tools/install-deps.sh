#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any is missing.
# With "program", only what building the program alone needs; with "release",
# what building and packing the release programs and testing the packages
# need (tools/build.sh release, tools/test-packages.sh); with "bench",
# what tools/bench.sh needs besides (Wine, the Windows cross compiler and
# GoogleTest's source for configuring the win64 preset, unshare).
# Needs root (or sudo). Safe to run again.
set -euo pipefail

packages=(cmake ninja-build g++ nlohmann-json3-dev)
# The Windows cross compilers; dpkg-dev and file for CPack's dependency list of
# the .deb; unzip and groff-base for reading the packages back.
release=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 dpkg-dev file unzip groff-base)
case "${1:-all}" in
  program) ;;
  release) packages+=("${release[@]}") ;;
  bench) packages+=(wine64 g++-mingw-w64-x86-64 googletest util-linux) ;;
  *) packages+=(
  make
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine64 xvfb xauth x11-apps imagemagick
  thunderbird
  evolution-data-server dbus libglib2.0-bin dconf-gsettings-backend dconf-service
  clang libclang-rt-14-dev
  util-linux strace
  "${release[@]}"
) ;;
esac

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
