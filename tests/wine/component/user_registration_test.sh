#!/usr/bin/env bash
# Registration for one user through regsvr32, in a fresh prefix copied from a template of its
# own: "regsvr32 /n /i:user" writes below HKEY_CURRENT_USER\Software\Classes only and a script
# client then creates the plug-in; "/u /n /i:user" leaves the prefix as it was; beside a
# machine-wide registration of another copy each registration names its own file and each
# removal removes only its own; command lines other than "user" fail and change nothing.
# Usage: user_registration_test.sh <wine-run> <win32|win64 prefix> <32|64-bit DLL> <work dir>
#        <Zorvane.dll> <VELTTypeLib.dll of the DLL's kind> <client script>
if ! why=$("$(dirname "$0")/../../../scripts/runs-32bit-code"); then
  # The 32-bit regsvr32 and cscript need it, and any program in a 32-bit prefix.
  if [ "$2" = win32 ] || [ "$3" = 32 ]; then
    echo "wine-run: skipped: this machine runs no 32-bit code ($why)"
    exit 77
  fi
fi
set -euo pipefail
wine_run=$1 windows=$2 bits=$3 dll=$5 velt_dll=$6 client=$7
template=$4/template-$windows
work=$4/$windows-$bits
prefix=$work/prefix
export WINEDEBUG=-all

clsid='{77FF2106-F84A-48BA-8B6C-B6C224068A89}'
libid='{5FC8B42F-E199-4A7C-A91F-90AFF3F205CF}'
iid='{FEC77016-7A8D-425A-87BF-C61DE3C5A5F3}'
prog_id=Zorvane.clsVELTPlugIn
platform=win$bits
# The DLL's own programs (regsvr32, cscript) and registry view: on 64-bit Windows the 32-bit
# ones are in syswow64. The other kind's view, where there is one.
system=system32 view=/reg:$bits other_view=
[ "$windows" = win64 ] && [ "$bits" = 32 ] && system=syswow64
[ "$windows" = win64 ] && other_view=/reg:$((96 - bits))

source "$(dirname "$0")/prefix_script.sh"

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; kill "$xvfb_pid"; rm -f "$display_file"' EXIT
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
export DISPLAY=:$(cat "$display_file")

program() { printf '%s/drive_c/windows/%s/%s.exe' "$prefix" "$system" "$1"; }

rm -rf "$work"
copy_of_template "$windows" "$template"
user_copy=$work/user/Zorvane.dll
machine_copy=$work/machine/Zorvane.dll
mkdir -p "$(dirname "$user_copy")" "$(dirname "$machine_copy")"
cp "$dll" "$user_copy"
cp "$dll" "$machine_copy"

# expect_exit <code> <program> [args...]
expect_exit() {
  local expected=$1 code=0
  shift
  w "$@" >/dev/null 2>&1 || code=$?
  [ "$code" = "$expected" ] || fail "$(basename "$1") ${*:2}: exit code $code, expected $expected"
}

# snapshot <name>: HKLM\Software (with the machine's classes) and HKCU\Software as Wine keeps
# them on disk once the prefix's programs have ended, without the times it notes and its own
# display settings ("Temporary System Parameters").
snapshot() {
  WINEPREFIX=$prefix wineserver -w
  local root file
  for root in HKLM HKCU; do
    file=system.reg
    [ "$root" = HKCU ] && file=user.reg
    awk '/^\[/ { skip = index($0, "[Software\\\\") != 1 || index($0, "\\\\Temporary System Parameters") > 0
                sub(/\] [0-9]+$/, "]") }
         !skip && !/^#time=/' "$prefix/$file" >"$work/$1.$root"
  done
}
# compare <root> <snapshot> <what>: the root (HKLM or HKCU) in the snapshot "now" reads as in
# the other snapshot.
compare() {
  if ! diff -u "$work/$2.$1" "$work/now.$1" >"$work/diff"; then
    fail "$1 is not as $3:"
    head -n 30 "$work/diff"
  fi
}
# expect_same <root> <snapshot> <what>: the root reads now as in the snapshot.
expect_same() {
  snapshot now
  compare "$@"
}
# expect_both <HKLM snapshot> <HKCU snapshot> <what>: each root reads now as in its snapshot.
expect_both() {
  snapshot now
  compare HKLM "$1" "$3"
  compare HKCU "$2" "$3"
}

# reg_value <key> <value name, empty for the default value> [<view>]: the data, or <missing>.
reg_value() {
  local out value=(/ve)
  [ -z "$2" ] || value=(/v "$2")
  out=$(w reg query "$1" "${value[@]}" ${3:-} 2>/dev/null) || { echo "<missing>"; return; }
  printf '%s\n' "$out" | tr -d '\r' | sed -n 's/^    .*    REG_[A-Z_]*    //p' | head -n 1
}
# expect_registered <root key> <file>: the class, its ProgID and its library name the file;
# the class in the DLL's registry view, the interface in both views, the rest in reg.exe's
# own: Windows shares them between the views (and a 64-bit prefix's reg.exe does not find the
# ProgID through /reg:32).
expect_registered() {
  local key name wanted in_view got reg_view
  while IFS='|' read -r key name wanted in_view; do
    reg_view=
    [ "$in_view" = own ] && reg_view=$view
    [ "$in_view" = other ] && reg_view=$other_view
    got=$(reg_value "$1\\$key" "$name" $reg_view)
    [ "$got" = "$wanted" ] || fail "$1\\$key [${name:-(default)}] ${in_view:+in the $in_view view}: '$got', expected '$wanted'"
  done <<EOF
CLSID\\$clsid\\InprocServer32||$2|own
CLSID\\$clsid\\InprocServer32|ThreadingModel|Apartment|own
$prog_id\\CLSID||$clsid|
TypeLib\\$libid\\1.0\\0\\$platform||$2|
Interface\\$iid\\TypeLib||$libid|own
Interface\\$iid\\TypeLib||$libid|other
EOF
}

run_client() { w "$(program cscript)" //nologo "$(winpath "$client")" 2>&1 | tr -d '\r' || true; }

# The host's installer registers its library for all users.
expect_exit 0 "$(program regsvr32)" /s "$(winpath "$velt_dll")"
# Every Windows profile has the user's classes key; a fresh Wine prefix does not yet.
w reg add 'HKCU\Software\Classes' /f >/dev/null
# Nothing answers yet. Wine's script host registers its own library on its first run.
[[ $(run_client) != *PluginName* ]] || fail "before any registration the client created the plug-in"
snapshot before

echo "registered for the user"
expect_exit 0 "$(program regsvr32)" /s /n /i:user "$(winpath "$user_copy")"
expect_same HKLM before "before: the user's registration wrote to the machine"
expect_registered 'HKCU\Software\Classes' "$(winpath "$user_copy")"
snapshot user
out=$(run_client)
if [ "$out" = "PluginName: Zorvane" ]; then
  echo "the client finds the user's classes in the classes root"
else
  # Wine (8.0) does not merge the user's classes into the classes root as Windows does for
  # the user's processes; merged here by hand, then taken out again.
  echo "the user's classes merged into the machine's by hand"
  w reg copy 'HKCU\Software\Classes' 'HKLM\Software\Classes' /s /f $view >/dev/null
  out=$(run_client)
  for key in "CLSID\\$clsid" "$prog_id" "TypeLib\\$libid" "Interface\\$iid"; do
    w reg delete "HKLM\\Software\\Classes\\$key" /f $view >/dev/null 2>&1 || fail "merged key $key not there"
  done
  # The copy gave the classes root an empty default value; the comparison below sees anything else.
  w reg delete 'HKLM\Software\Classes' /ve /f $view >/dev/null 2>&1 || true
  expect_same HKLM before "before: the merge was not taken out"
fi
[ "$out" = "PluginName: Zorvane" ] || fail "the client printed: $out"

echo "commands other than user"
for command in /i:machine /i: /i:benutzer; do
  expect_exit 5 "$(program regsvr32)" /s /n $command "$(winpath "$user_copy")"
  expect_exit 5 "$(program regsvr32)" /s /u /n $command "$(winpath "$user_copy")"
done
expect_both before user "before, and registered for the user"

echo "removed for the user"
expect_exit 0 "$(program regsvr32)" /s /u /n /i:user "$(winpath "$user_copy")"
expect_both before before "before"
expect_exit 0 "$(program regsvr32)" /s /u /n /i:user "$(winpath "$user_copy")"
expect_same HKCU before "before, after removing twice"

echo "beside a machine-wide registration of another copy"
expect_exit 0 "$(program regsvr32)" /s "$(winpath "$machine_copy")"
snapshot machine
expect_exit 0 "$(program regsvr32)" /s /n /i:user "$(winpath "$user_copy")"
expect_both machine user "registered for all users, and for the user alone"
expect_registered 'HKLM\Software\Classes' "$(winpath "$machine_copy")"
expect_registered 'HKCU\Software\Classes' "$(winpath "$user_copy")"
# Each copy's removal removes its own registration only; the other copy's, nothing. A step:
# regsvr32's switches, the copy, then what HKLM and HKCU read as (snapshots).
while IFS='|' read -r switches copy machine_state user_state; do
  copy_path=$machine_copy
  [ "$copy" = user ] && copy_path=$user_copy
  expect_exit 0 "$(program regsvr32)" $switches "$(winpath "$copy_path")"
  expect_both "$machine_state" "$user_state" "'$machine_state' and '$user_state' after regsvr32 $switches of the $copy's copy"
done <<EOF
/s /u|user|machine|user
/s /u /n /i:user|machine|machine|user
/s /u|machine|before|user
/s|machine|machine|user
/s /u /n /i:user|user|machine|before
/s /u|machine|before|before
EOF

finish "user registration ($bits-bit DLL, $windows prefix)" "$work"
