#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine.
# Idempotent: when every package is present it returns in well under a second.
# 32-bit Wine is installed only where this machine runs 32-bit code (scripts/runs-32bit-code);
# 64-bit Wine and both MinGW compilers everywhere.
set -euo pipefail
here=$(dirname "$0")

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools libwine-dev
  wine wine64
  xvfb x11-apps x11-utils imagemagick zip unzip fonts-dejavu-core fonts-wine
  nsis osslsigncode openssl python3
)
i386_packages=()
if "$here/runs-32bit-code" >/dev/null; then
  i386_packages=(wine32:i386)
fi

missing=()
for p in "${packages[@]}" "${i386_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

if [ ${#i386_packages[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  # The security suite's i386 index can fail to download here, leaving amd64 and i386
  # libraries at different versions; keep the install on the main suite's versions.
  pin=/etc/apt/preferences.d/zorvane-security-pin
  if [ ! -f "$pin" ]; then
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' | "${sudo_cmd[@]}" tee "$pin" >/dev/null
  fi
fi

"${sudo_cmd[@]}" apt-get update -qq || true
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${packages[@]}"
if [ ${#i386_packages[@]} -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${i386_packages[@]}"
fi
