#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine, and makes 32-bit
# Windows code run wherever it can: natively where the kernel runs 32-bit x86 programs,
# else by qemu-user 10 or later from bookworm-backports, registered for i386 in
# binfmt_misc. Then 32-bit Wine either way; 64-bit Wine and both MinGW compilers everywhere.
# Idempotent: with everything in place it checks and returns within a second or two.
# It prints each thing it changes. Where 32-bit code cannot be made to run (no root, no
# binfmt_misc, no backports), it says why and goes on: the 64-bit suite still runs.
set -euo pipefail
here=$(dirname "$0")
export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools libwine-dev
  wine wine64
  xvfb x11-apps x11-utils imagemagick zip unzip fonts-dejavu-core fonts-wine
  nsis osslsigncode openssl python3
)

say() { printf 'setup: %s\n' "$*"; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing_of() {
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}

as_root=()
can_be_root=1
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    as_root=(sudo -n)
  elif command -v sudo >/dev/null 2>&1 && [ -t 0 ]; then
    as_root=(sudo)
  else
    can_be_root=0
  fi
fi

updated=0
apt_update() {
  [ "$updated" -eq 1 ] && return 0
  "${as_root[@]}" apt-get update -qq || true
  updated=1
}

mapfile -t missing < <(missing_of "${packages[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$can_be_root" -eq 0 ]; then
    say "missing, and no root to install them: ${missing[*]}" >&2
    exit 1
  fi
  say "installing ${missing[*]}"
  apt_update
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
fi

# --- 32-bit code: natively, or emulated by qemu-user 10 -------------------------------

# The URI apt already uses for Debian's main suite (bookworm), from the configured sources
# as apt reads them; the project names no mirror.
debian_uri() {
  local uri
  uri=$(apt-get indextargets --format '$(SITE) $(RELEASE) $(LABEL)' 2>/dev/null |
        awk '$2 == "bookworm" && $3 == "Debian" { print $1; exit }')
  if [ -z "$uri" ]; then
    apt_update
    uri=$(apt-get indextargets --format '$(SITE) $(RELEASE) $(LABEL)' 2>/dev/null |
          awk '$2 == "bookworm" && $3 == "Debian" { print $1; exit }')
  fi
  printf '%s' "$uri"
}

backports_list=/etc/apt/sources.list.d/zorvane-bookworm-backports.list
backports_configured() {
  apt-get indextargets --format '$(RELEASE)' 2>/dev/null | grep -qx bookworm-backports
}
add_backports() {
  backports_configured && return 0
  if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    local uri
    uri=$(debian_uri)
    if [ -z "$uri" ]; then
      say "no Debian bookworm source configured for apt: cannot add bookworm-backports"
      return 1
    fi
    say "adding the suite bookworm-backports from $uri ($backports_list)"
    printf 'deb %s bookworm-backports main\n' "$uri" | "${as_root[@]}" tee "$backports_list" >/dev/null
  fi
  updated=0
  apt_update
  backports_configured
}

qemu_major() {
  local v
  v=$(/usr/bin/qemu-i386 --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9]*\).*/\1/p')
  printf '%s' "${v:-0}"
}

binfmt=/proc/sys/fs/binfmt_misc
# The i386 entries registered now (they match the magic of an i386 executable).
i386_entries() {
  local entry
  for entry in "$binfmt"/*; do
    [ -f "$entry" ] && grep -q '^magic 7f454c4601010100000000000000000002000300' "$entry" 2>/dev/null &&
      echo "$entry"
  done
  return 0
}
register_qemu() {
  if [ ! -e "$binfmt/register" ]; then
    say "mounting binfmt_misc on $binfmt"
    "${as_root[@]}" mount -t binfmt_misc binfmt_misc "$binfmt" || return 1
  fi
  local entry
  # An older emulator registered for i386 would still take the programs: it goes.
  for entry in $(i386_entries); do
    say "removing the slower i386 entry $(basename "$entry") ($(sed -n 's/^interpreter //p' "$entry"))"
    echo -1 | "${as_root[@]}" tee "$entry" >/dev/null || return 1
  done
  # F: the interpreter is opened now, so it serves every mount namespace and chroot.
  say "registering /usr/bin/qemu-i386 for i386 programs in binfmt_misc"
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' |
    "${as_root[@]}" tee "$binfmt/register" >/dev/null
}

# Emulation for a kernel that refuses 32-bit code; returns non-zero, having said why, where
# it cannot be had.
bring_emulation() {
  if [ "$can_be_root" -eq 0 ]; then
    say "32-bit code: this machine runs none, and without root no emulator can be installed"
    return 1
  fi
  if [ "$(qemu_major)" -lt 10 ]; then
    add_backports || { say "32-bit code: bookworm-backports is not available, so no qemu-user 10"; return 1; }
    say "installing qemu-user from bookworm-backports"
    "${as_root[@]}" apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null ||
      { say "32-bit code: qemu-user could not be installed from bookworm-backports"; return 1; }
    if [ "$(qemu_major)" -lt 10 ]; then
      say "32-bit code: bookworm-backports brought qemu-i386 $(qemu_major), not 10 or later"
      return 1
    fi
  fi
  register_qemu || { say "32-bit code: binfmt_misc refused the registration of qemu-i386"; return 1; }
}

# The i386 architecture and 32-bit Wine. The security suite's i386 index can fail to
# download, leaving amd64 and i386 libraries at different versions; where apt then refuses,
# a pin keeps the install on the main suite's versions.
install_wine32() {
  installed wine32:i386 && return 0
  if [ "$can_be_root" -eq 0 ]; then
    say "32-bit Wine is missing, and there is no root to install it"
    return 1
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding the architecture i386"
    "${as_root[@]}" dpkg --add-architecture i386
    updated=0
  fi
  apt_update
  say "installing wine32:i386"
  if "${as_root[@]}" apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null 2>&1; then
    return 0
  fi
  local pin=/etc/apt/preferences.d/zorvane-security-pin
  say "apt refused wine32:i386; pinning the security suite below the main one ($pin) and trying again"
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' | "${as_root[@]}" tee "$pin" >/dev/null
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
}

if how=$("$here/runs-32bit-code"); then
  :
else
  case "$how" in
    *"no emulator is registered"*|*"too slowly for Wine"*|*"does not run a tiny"*)
      bring_emulation || true
      how=$("$here/runs-32bit-code") || true ;;
  esac
fi
case "$how" in
  natively:*|emulated:*) install_wine32 || say "32-bit code runs here, but 32-bit Wine could not be installed" ;;
  *) say "32-bit Windows code will not run here (${how#no: }): the 32-bit tree's programs are checked as files and its tests that run them are skipped" ;;
esac
