#!/usr/bin/env bash
# The setup under Wine, each case in a prefix of its own copied from a fresh template.
# Usage: setup_test.sh <settings> <case> [args]; <settings> names the paths of one build
# (setup_test_settings.sh, written by tests/wine/setup/CMakeLists.txt). The cases run in a
# 32-bit prefix (32-bit Windows); with "win64_" before their name (all but without_host,
# mode_page and screenshot) in a 64-bit prefix (64-bit Windows), where the setup also
# installs the 64-bit plug-in into a folder of its own and registers it for 64-bit clients.
# Cases:
#   template           creates the fresh prefix that the other cases copy
#   install_uninstall  silent install: files, registration, uninstall entry, version block, a
#                      script client creating the plug-in; the quiet uninstall string restores
#                      the prefix as it was
#   update             an older build in another folder, updated in place, then the same
#                      version again: one entry; the older build again: refused silently (exit
#                      code 6); with windows the question, "No" changing nothing and "Yes"
#                      installing it; uninstall with _?= and its exit code
#   without_host       no VELTTypeLib: the warning in German and in English ("No" changes
#                      nothing); silently: installed anyway, exit code 3
#   in_use             Zorvane.dll held by a client: exit code 4 from setup and uninstaller,
#                      the old installation intact; with windows: the box, the client quits,
#                      Retry installs. 64-bit: either DLL held by a client of its kind
#   not_registered     a Zorvane.dll that cannot be loaded: exit code 5, installed for the
#                      uninstaller to remove. 64-bit: only the 64-bit one cannot be loaded
#   uninstall_left     what the uninstaller cannot remove: a Zorvane.dll that no longer loads
#                      (exit code 5, it stays registered), then an uninstall.exe held open (exit
#                      code 7); each time the entry stays and the log names what was left.
#                      64-bit: the 64-bit DLL no longer loads
#   dll_deleted        a Zorvane.dll deleted by hand: the uninstaller removes the keys that name
#                      it and finishes (exit code 0, nothing left); keys that name a copy
#                      registered elsewhere stay. 64-bit: either DLL deleted, and both
#   folder_access      every install folder is given its own access list (administrators and
#                      SYSTEM full control, users read and execute, nothing inherited) before
#                      a file is written there, read from the Wine server's trace; a folder
#                      whose access cannot be set: exit code 9, nothing changed, the message
#                      in German and in English
#   planted_log        a link planted under the uninstall log's old fixed name and under the
#                      names a run would choose: left alone, with the file it points to; the
#                      log goes to a file of its own; with windows the message names that file
#   current_user       for the current user only, as a user without administrator rights (a
#                      token whose Administrators group is for deny only): silent install, no
#                      key of the machine's changed, the folder's access list, the user's
#                      entry and classes, a script client (the user's classes merged by hand,
#                      as Wine does not), the quiet uninstall string leaving nothing; for all
#                      users refused (exit code 2); an update keeping the mode
#   mode_page          with windows, as a user without administrator rights: in English all
#                      users, refused by the elevated copy, the page shown again, then for the
#                      user only with the folder's rights on the directory page; in German the
#                      page offering that installation, updated in place; the elevated copy's
#                      own pages in the language it is given
#   side_by_side       both modes for one user: each names its own files, the user's wins
#                      (merged by hand), the machine's uninstaller refused to the user, each
#                      uninstaller removes only its own, in either order
#   older_windows      Wine set to Windows Vista: refused with exit code 8 and nothing changed;
#                      with windows the message in German and in English; as Windows 7: installed
#   signed             the release signed with the build's throwaway certificate: installed
#                      like the unsigned one, every installed file's signature verified
#   screenshot <png> [mode]
#                      the first page in German, or the mode's page (scripts/setup-screenshot.sh)

# The setup is a 32-bit program: where 32-bit code cannot run, every case is skipped, the
# way wine-run reports it, before anything is made.
if ! why=$("$(dirname "$0")/../../../scripts/runs-32bit-code"); then
  echo "wine-run: skipped: this machine runs no 32-bit code ($why)"
  exit 77
fi
set -euo pipefail

source "$1"
case_name=$2
shift

windows=win32
case $case_name in
win64_*) windows=win64 ;;
esac
template=$WORK_DIR/template-prefix
[ "$windows" = win64 ] && template=$WORK_DIR/template-prefix-win64
prefix=$WORK_DIR/prefix-$case_name
scratch=$WORK_DIR/scratch-$case_name
export WINEDEBUG=-all

clsid='{77FF2106-F84A-48BA-8B6C-B6C224068A89}'
libid='{5FC8B42F-E199-4A7C-A91F-90AFF3F205CF}'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorvane'
user_uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorvane'
iid='{FEC77016-7A8D-425A-87BF-C61DE3C5A5F3}'
# Where the setup puts the 32-bit plug-in, and the 64-bit one (none on 32-bit Windows). The
# setup writes to the 32-bit registry view; reg.exe reads the 64-bit one unless told
# (view32, view64). Programs are named by their Linux path, so that wine-run sees which kind
# they are; syswow64 holds the 32-bit ones of a 64-bit prefix.
if [ "$windows" = win64 ]; then
  program_folder='C:\Program Files (x86)\Zorvane'
  folder64='C:\Program Files\Zorvane'
  view32=/reg:32 view64=/reg:64
  system32=syswow64
else
  program_folder='C:\Program Files\Zorvane'
  folder64=
  view32= view64=
  system32=system32
fi

problems=0
fail() {
  echo "FAIL: $*"
  problems=$((problems + 1))
}
die() {
  fail "$*"
  exit 1
}

# A display of its own: the setup's windows take no focus from those of tests running
# beside it, and a screenshot shows nothing else.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
# A folder made immutable for a case is made changeable again, however the case ends.
immutable=
trap 'stop_wine; kill "$xvfb_pid"; rm -f "$display_file"; [ -z "$immutable" ] || chattr -i "$immutable"' EXIT
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
[ -s "$display_file" ] || die "Xvfb did not start"
export DISPLAY=:$(cat "$display_file")

# The locale the Windows programs see; Linux need not have it, so keep bash's complaint
# about it (from wine-run) out of the programs' output.
wine_locale=
w() {
  env ${wine_locale:+LC_ALL=$wine_locale} "$WINE_RUN" "$prefix" "$@" 2> >(grep -v 'warning: setlocale' >&2)
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# The Linux path of a path on C:.
unixpath() {
  local rest=${1#C:\\}
  printf '%s/drive_c/%s' "$prefix" "${rest//\\//}"
}
stop_wine() { WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; }

make_template() {
  local version
  version=$(wine --version)
  if [ -f "$template/system.reg" ] && [ "$(cat "$template.wine-version" 2>/dev/null)" = "$version" ]; then
    return
  fi
  WINEPREFIX=$template wineserver -k 2>/dev/null || true
  rm -rf "$template" "$template.wine-version"
  "$WINE_RUN" --arch "$windows" "$template" cmd /c exit 0
  WINEPREFIX=$template wineserver -w
  echo "$version" >"$template.wine-version"
}

fresh_prefix() {
  stop_wine
  rm -rf "$prefix" "$scratch"
  mkdir -p "$scratch" "$prefix"
  cp -a "$template/." "$prefix"
}

# A 32-bit program of the prefix's Windows (regsvr32, cscript), by its Linux path.
windows_program32() { printf '%s/drive_c/windows/%s/%s.exe' "$prefix" "$system32" "$1"; }

# The host is a 32-bit program: its installer registers its library for 32-bit COM.
register_host() {
  w "$(windows_program32 regsvr32)" /s "$(winpath "$VELT_DLL")" || die "regsvr32 VELTTypeLib.dll failed"
}

# expect_exit <code> <program> [args...]: runs a program in the prefix, checks its exit code.
expect_exit() {
  local expected=$1 code=0
  shift
  w "$@" >"$scratch/last.out" 2>&1 || code=$?
  [ "$code" = "$expected" ] || fail "$(basename "${1//\\//}") ${*:2}: exit code $code, expected $expected"
}

# expect_line_exit <code> <command line>: runs the line as typed at a command prompt (Wine
# would quote an argument with spaces, and an uninstaller takes _?= only unquoted).
expect_line_exit() {
  local expected=$1 line=$2 code=0
  printf '@%s\r\n@exit /b %%errorlevel%%\r\n' "$line" >"$scratch/line.cmd"
  w cmd /c "$(winpath "$scratch/line.cmd")" >"$scratch/last.out" 2>&1 || code=$?
  [ "$code" = "$expected" ] || fail "$line: exit code $code, expected $expected"
}

# reg_value <key> <value name, empty for the default value> [view]: the data, or <missing>;
# from the 32-bit view unless another is given.
reg_value() {
  local out view=${3-$view32}
  if [ -z "$2" ]; then
    out=$(w reg query "$1" /ve $view 2>/dev/null) || { echo "<missing>"; return; }
  else
    out=$(w reg query "$1" /v "$2" $view 2>/dev/null) || { echo "<missing>"; return; }
  fi
  printf '%s\n' "$out" | tr -d '\r' | sed -n 's/^    .*    REG_[A-Z_]*    //p' | head -n 1
}

# expect_reg <key> <value name> <data> [view]
expect_reg() {
  local got
  got=$(reg_value "$1" "$2" "${4-$view32}")
  [ "$got" = "$3" ] || fail "$1 [${2:-(default)}]${4:+ $4}: '$got', expected '$3'"
}

# The Temp folder of the prefix's user, as Windows names it.
temp_folder() { w cmd /c echo %TEMP% | tr -d '\r'; }

# The uninstaller's logs: the files Zorvane-uninstall*.log in the user's Temp folder (a link
# there is no log), one a line; forget_log clears them before a run, which writes one.
uninstall_logs() {
  find "$(unixpath "$(temp_folder)")" -maxdepth 1 -type f -name 'Zorvane-uninstall*.log'
}

# expect_log <exit code> <text>...: the run wrote one log (UTF-16); it ends with its exit code
# and holds each text; the words around them are in the uninstaller's language.
expect_log() {
  local code=$1 logs text
  shift
  logs=$(uninstall_logs)
  [ -n "$logs" ] || { fail "no uninstall log"; return; }
  [ "$(printf '%s\n' "$logs" | wc -l)" = 1 ] || fail "more than one uninstall log: $logs"
  text=$(iconv -f UTF-16 -t UTF-8 "$(printf '%s\n' "$logs" | head -n 1)" | tr -d '\r')
  [[ $(printf '%s\n' "$text" | tail -n 1) =~ :\ $code$ ]] || fail "uninstall log, expected exit code $code:"$'\n'"$text"
  local part
  for part in "$@"; do
    [[ $text == *"$part"* ]] || fail "uninstall log does not name $part:"$'\n'"$text"
  done
}
forget_log() { rm -f "$(unixpath "$(temp_folder)")"/Zorvane-uninstall*.log; }

# snapshot <name>: the registry below HKLM\Software (with the classes) and HKCU\Software, and
# every file on C: with its size, but the user's Temp folder, where an NSIS uninstaller
# started without _?= leaves its empty working folder.
snapshot() {
  local root
  for root in HKLM HKCU; do
    w reg export "$root\\Software" "$(winpath "$scratch/$1.$root.reg")" /y >/dev/null 2>&1 ||
      die "reg export $root failed"
    # Wine keeps display settings of its own under "Temporary System Parameters".
    iconv -f UTF-16 -t UTF-8 "$scratch/$1.$root.reg" | tr -d '\r' |
      awk '/^\[/ { skip = index($0, "\\Software\\Wine\\Temporary System Parameters") > 0 } !skip' \
        >"$scratch/$1.$root.txt"
  done
  (cd "$prefix/drive_c" && find . -path './users/*/Temp' -prune -o -printf '%p %s\n' | LC_ALL=C sort) \
    >"$scratch/$1.files"
}

# expect_same_as <name> [<part>...]: the prefix now is as the snapshot <name> recorded it, in
# the parts given (HKLM.txt, HKCU.txt, files) or in all.
expect_same_as() {
  local name=$1 part
  shift
  [ $# -gt 0 ] || set -- HKLM.txt HKCU.txt files
  snapshot now
  for part in "$@"; do
    if ! diff -u "$scratch/$name.$part" "$scratch/now.$part" >"$scratch/diff" 2>&1; then
      fail "$part differs from '$name':"
      head -n 40 "$scratch/diff"
    fi
  done
}

# The mode the next checks hold an installation to: AllUsers (the machine's uninstall entry
# and classes) or CurrentUser (the user's, and the 64-bit plug-in in x64 within the folder).
mode=AllUsers
mode_entry() { if [ "$mode" = CurrentUser ]; then echo "$user_uninstall_key"; else echo "$uninstall_key"; fi; }
mode_classes() { if [ "$mode" = CurrentUser ]; then echo 'HKCU\Software\Classes'; else echo HKCR; fi; }
# Wine (8.0) keeps one HKCU\Software\Classes for both registry views, where 64-bit Windows
# gives 32-bit programs their own (redirected to Wow6432Node). Registered for the user on
# 64-bit Windows, the 64-bit DLL's class (registered second) then stands in the one key: the
# 32-bit class and client are not checked there; the type library keeps one entry per kind.
user_classes_shared() { [ "$mode" = CurrentUser ] && [ -n "$folder64" ]; }
# mode_folder64 <folder>: where the 64-bit plug-in of an installation in that folder is.
mode_folder64() {
  if [ "$mode" = CurrentUser ] && [ -n "$folder64" ]; then echo "$1\\x64"; else echo "$folder64"; fi
}

# expect_installed <folder> <version> <the DLL it must hold> [<the 64-bit DLL>]: the files,
# the registration and the one uninstall entry of an installation in $mode; on 64-bit Windows
# the 64-bit plug-in too, registered in the 64-bit view: each view's class names its own DLL.
# The programmatic identifier is one key for both, read in reg.exe's own view (a 64-bit
# prefix's reg.exe does not find it through /reg:32); the clients show each kind finds it.
expect_installed() {
  expect_files_and_entry "$@"
  local key name wanted view classes f64
  classes=$(mode_classes)
  f64=$(mode_folder64 "$1")
  while IFS='|' read -r key name wanted view; do
    [ "$view" != 64 ] || [ -n "$folder64" ] || continue
    [ "$view" != 32 ] || [[ $key != CLSID* ]] || ! user_classes_shared || continue
    case $view in
    32) view=$view32 ;;
    64) view=$view64 ;;
    esac
    expect_reg "$classes\\$key" "$name" "$wanted" "$view"
  done <<EOF
CLSID\\$clsid\\InprocServer32||$1\\Zorvane.dll|32
CLSID\\$clsid\\InprocServer32|ThreadingModel|Apartment|32
TypeLib\\$libid\\1.0\\0\\win32||$1\\Zorvane.dll|32
Zorvane.clsVELTPlugIn\\CLSID||$clsid|
CLSID\\$clsid\\InprocServer32||$f64\\Zorvane.dll|64
CLSID\\$clsid\\InprocServer32|ThreadingModel|Apartment|64
TypeLib\\$libid\\1.0\\0\\win64||$f64\\Zorvane.dll|64
EOF
}

# expect_files_and_entry <folder> <version> <the DLL it must hold> [<the 64-bit DLL>]: all
# but the registration.
expect_files_and_entry() {
  local folder=$1 version=$2 dll=$3 dll64=${4:-} unix_folder unix_folder64= f64 files
  f64=$(mode_folder64 "$folder")
  unix_folder=$(unixpath "$folder")
  local wanted_files="Zorvane.dll uninstall.exe "
  [ "$mode" = AllUsers ] || [ -z "$f64" ] || wanted_files="Zorvane.dll uninstall.exe x64 "
  files=$(cd "$unix_folder" 2>/dev/null && LC_ALL=C ls -A | tr '\n' ' ') || true
  [ "$files" = "$wanted_files" ] || die "$folder holds: $files"
  cmp -s "$unix_folder/Zorvane.dll" "$dll" || fail "$folder\\Zorvane.dll is not $dll"
  if [ -n "$f64" ]; then
    unix_folder64=$(unixpath "$f64")
    files=$(cd "$unix_folder64" 2>/dev/null && LC_ALL=C ls -A | tr '\n' ' ') || true
    [ "$files" = "Zorvane.dll " ] || die "$f64 holds: $files"
    cmp -s "$unix_folder64/Zorvane.dll" "$dll64" || fail "$f64\\Zorvane.dll is not $dll64"
  fi

  local entry name wanted
  entry=$(mode_entry)
  while IFS='|' read -r name wanted; do
    expect_reg "$entry" "$name" "$wanted"
  done <<EOF
DisplayName|Zorvane
DisplayVersion|$version
Publisher|Ulvmar
InstallLocation|$folder
UninstallString|"$folder\\uninstall.exe" /$mode
QuietUninstallString|"$folder\\uninstall.exe" /$mode /S
NoModify|0x1
NoRepair|0x1
EOF
  # EstimatedSize is in KiB: the files, give or take rounding.
  local size bytes
  size=$(reg_value "$entry" EstimatedSize)
  bytes=$(cat "$unix_folder/Zorvane.dll" "$unix_folder/uninstall.exe" ${unix_folder64:+"$unix_folder64/Zorvane.dll"} | wc -c)
  if [[ ! $size =~ ^0x[0-9a-f]+$ ]] || (((size - bytes / 1024) ** 2 > 4)); then
    fail "EstimatedSize $size, the files hold $bytes bytes"
  fi

  # One entry in either registry view (the export of a 64-bit prefix holds both).
  snapshot entries
  local entries root=HKLM
  [ "$mode" = AllUsers ] || root=HKCU
  entries=$(grep -c '^"DisplayName"="Zorvane"$' "$scratch/entries.$root.txt" || true)
  [ "$entries" = 1 ] || fail "$entries uninstall entries named Zorvane under $root"
}

# The client script, run by Wine's cscript, creates the plug-in by its programmatic
# identifier; prints what it answered. run_client <bits>: the 32-bit cscript, or on 64-bit
# Windows the 64-bit one (the one a script gets there by default).
run_client() {
  local cscript=cscript
  [ "$1" = 64 ] || cscript=$(windows_program32 cscript)
  w "$cscript" //nologo "$(winpath "$CLIENT_SCRIPT")" 2>&1 | tr -d '\r' || true
}
client_kinds() {
  if user_classes_shared; then echo 64; else echo 32 ${folder64:+64}; fi
}
expect_client_creates_plugin() {
  local out bits
  for bits in $(client_kinds); do
    out=$(run_client "$bits")
    [ "$out" = "PluginName: Zorvane" ] || fail "$bits-bit client script printed: $out"
  done
}
# Before the setup nothing answers. Wine's script host registers its own type library on
# its first run, so this also comes before the snapshot that the uninstall returns to.
expect_client_fails() {
  local out bits
  for bits in $(client_kinds); do
    out=$(run_client "$bits")
    [[ $out != *"PluginName"* ]] || fail "before the setup, the $bits-bit client script printed: $out"
  done
}

# await_file <file> <pid>: waits up to a minute for the file, while the process runs.
await_file() {
  local i
  for i in $(seq 600); do
    [ -e "$1" ] && return
    kill -0 "$2" 2>/dev/null || return
    sleep 0.1
  done
}

holder_pid=
# Holds Zorvane.dll loaded, as a running host does, until stop_holder.
start_holder() {
  rm -f "$scratch/stop" "$scratch/released"
  : >"$scratch/holder.out"
  w "$PROBE" hold Zorvane.clsVELTPlugIn "$(winpath "$scratch/stop")" \
    "$(winpath "$scratch/released")" >"$scratch/holder.out" 2>&1 &
  holder_pid=$!
  local i
  for i in $(seq 600); do
    grep -q '^loaded ' "$scratch/holder.out" && break
    kill -0 "$holder_pid" 2>/dev/null || break
    sleep 0.1
  done
  tr -d '\r' <"$scratch/holder.out" | grep -qxF "loaded $1" ||
    die "the holder did not load $1: $(tr -d '\r' <"$scratch/holder.out")"
}
stop_holder() {
  touch "$scratch/stop"
  wait "$holder_pid" || true
}
# The same for the 64-bit plug-in: a script under the 64-bit cscript holds it. No program of
# ours can (this tree builds only 32-bit ones).
start_holder64() {
  rm -f "$scratch/stop" "$scratch/held"
  w cscript //nologo "$(winpath "$HOLD_SCRIPT")" "$(winpath "$scratch/held")" "$(winpath "$scratch/stop")" \
    >"$scratch/holder.out" 2>&1 &
  holder_pid=$!
  await_file "$scratch/held" "$holder_pid"
  [ -e "$scratch/held" ] || die "the 64-bit client did not create the plug-in: $(tr -d '\r' <"$scratch/holder.out")"
}
# start_lock <Windows path>: holds the file open, shared for reading only, so that it cannot
# be deleted, until stop_holder.
start_lock() {
  rm -f "$scratch/stop" "$scratch/locked"
  w "$PROBE" lock "$1" "$(winpath "$scratch/stop")" "$(winpath "$scratch/locked")" >"$scratch/holder.out" 2>&1 &
  holder_pid=$!
  await_file "$scratch/locked" "$holder_pid"
  [ -e "$scratch/locked" ] || die "$1 is not held: $(tr -d '\r' <"$scratch/holder.out")"
}

# as_user <exit code> <program> [args...]: runs the program (by its Linux path) as a user
# without administrator rights: with the probe's token, whose Administrators group is for deny
# only, as Windows gives it to such a user; checks its exit code.
as_user() {
  local expected=$1 program=$2
  shift 2
  as_user_line "$expected" "$(winpath "$program")" "\"$(winpath "$program")\"${*:+ $*}"
}
# as_user_line <exit code> <program, as Windows names it> <command line>: the same with the
# command line given whole (an uninstaller takes _?= only unquoted). Wine's own messages stay
# on standard error, where a caller may want its server's trace.
as_user_line() {
  local code=0
  w "$PROBE" limited "$2" "$3" >"$scratch/last.out" || code=$?
  [ "$code" = "$1" ] || fail "as a user: $3: exit code $code, expected $1"
}

# The folder the setup installs into for the current user.
user_program_folder() { printf '%s\\Programs\\Zorvane' "$(w cmd /c echo %LOCALAPPDATA% | tr -d '\r')"; }

# A fresh prefix for the cases of the current user: the host registered, the user's classes
# key made (every Windows profile has it; a fresh Wine prefix does not yet), nothing answering
# a client yet, the snapshot "before"; sets user_folder, and mode to CurrentUser.
fresh_user_prefix() {
  fresh_prefix
  register_host
  w reg add 'HKCU\Software\Classes' /f >/dev/null
  expect_client_fails
  snapshot before
  user_folder=$(user_program_folder)
  mode=CurrentUser
}

# Windows merges the user's classes into the classes root for that user's processes, the
# user's keys over the machine's; Wine (8.0) does not. merge_user_classes does it by hand for
# our keys, in each registry view; take_out_merged_classes deletes them from the machine's
# classes again.
merged_keys=("CLSID\\$clsid" Zorvane.clsVELTPlugIn "TypeLib\\$libid" "Interface\\$iid")
merge_user_classes() {
  local view key
  for view in "$view32" ${view64:+"$view64"}; do
    for key in "${merged_keys[@]}"; do
      w reg copy "HKCU\\Software\\Classes\\$key" "HKLM\\Software\\Classes\\$key" /s /f $view >/dev/null 2>&1 || true
    done
  done
}
take_out_merged_classes() {
  local view key
  for view in "$view32" ${view64:+"$view64"}; do
    for key in "${merged_keys[@]}"; do
      w reg delete "HKLM\\Software\\Classes\\$key" /f $view >/dev/null 2>&1 || true
    done
  done
}

# security_requests <Wine server trace>: what the programs asked of the Wine server about
# files, a line each: "<line>|set|<path>|<security information>|<descriptor>" for an access
# list set on a file or folder, "<line>|write|<path>" for a file or folder created or
# overwritten (an open that is not a plain FILE_OPEN); paths as Windows names them.
security_requests() {
  awk '
    function name_of(line,   name) {
      if (!match(line, /name=L"[^"]*"/)) return ""
      name = substr(line, RSTART + 7, RLENGTH - 8)
      gsub(/\\\\/, "\\", name)
      sub(/^\\\?\?\\/, "", name)
      sub(/\\$/, "", name)
      return name
    }
    $2 == "create_file(" {
      opened[$1] = name_of($0)
      if ($0 !~ /create=1,/) print NR "|write|" opened[$1]
    }
    $2 == "create_file()" && match($0, /handle=[0-9a-f]+/) {
      handle_name[$1 substr($0, RSTART + 7, RLENGTH - 7)] = opened[$1]
    }
    $2 == "set_security_object(" && match($0, /handle=[0-9a-f]+/) {
      path = handle_name[$1 substr($0, RSTART + 7, RLENGTH - 7)]
      match($0, /security_info=[0-9a-f]+/)
      info = substr($0, RSTART + 14, RLENGTH - 14)
      match($0, /sd=.*/)
      print NR "|set|" path "|" info "|" substr($0, RSTART + 3)
    }
  ' "$1"
}

# expect_folder_access <security requests> <folder> <owner SID> <ACE>...: the folder was given
# this owner and an access list of these entries ("<mask>,<SID>", allowed to the folder, its
# subfolders and files), asked to inherit nothing, before any file was written into it. Wine
# adds the parent's inheritable entries all the same (it keeps no access list of its own, so
# it does not see the protection asked for), marked inherited: those are left out here.
expect_folder_access() {
  local requests=$1 folder=$2 owner=$3
  shift 3
  local number info descriptor
  IFS='|' read -r number _ _ info descriptor < <(FOLDER=$folder awk -F'|' \
    '$2 == "set" && tolower($3) == tolower(ENVIRON["FOLDER"]) { print; exit }' "$requests") || true
  if [ -z "${number:-}" ]; then
    fail "no access list set on $folder"
    return
  fi
  [ "$info" = 80000005 ] ||
    fail "$folder: security information $info, expected 80000005 (owner, access list, protected)"
  [[ $descriptor == *"owner=$owner,"* ]] || fail "$folder: owner is not $owner: $descriptor"
  local explicit
  explicit=$(printf '%s\n' "$descriptor" | grep -o '{type=[A-Z_]*,flags=[0-9a-f]*,mask=[0-9a-f]*,sid=[^}]*}' |
    sed 's/^{type=\(.*\),flags=\(.*\),mask=\(.*\),sid=\(.*\)}$/\1 \2 \3 \4/' |
    while read -r type flags mask sid; do
      if (((0x$flags & 0x10) == 0)); then echo "$type,$flags,$mask,$sid"; fi
    done | tr '\n' ' ')
  local wanted="" ace
  for ace in "$@"; do
    wanted+="ACCESS_ALLOWED,3,$ace "
  done
  [ "$explicit" = "$wanted" ] || fail "$folder: access list $explicit, expected $wanted"
  local written
  written=$(INSIDE="$folder\\" awk -F'|' -v number="$number" \
    '$1 < number && $2 == "write" && index(tolower($3), tolower(ENVIRON["INSIDE"])) == 1 { print $3 }' \
    "$requests" | head -n 3)
  [ -z "$written" ] || fail "$folder: written before its access list was set: $written"
}

gui_out=
gui_args=()
# gui <locale> <setup> <exit code> <probe step>...: runs the setup (with the arguments in
# gui_args) with its windows in the locale while the probe works through the steps; the
# probe's output lands in $gui_out. Programs that share a wineserver can read each other's
# locale: stop_wine before a new one.
gui() {
  local locale=$1 setup=$2 expected=$3 code=0 probe_code=0
  shift 3
  wine_locale=$locale w "$setup" "${gui_args[@]}" >"$scratch/gui-setup.out" 2>&1 &
  local setup_pid=$!
  wine_locale=$locale w "$PROBE" gui "$@" >"$scratch/gui.out" 2>&1 || probe_code=$?
  gui_out=$(tr -d '\r' <"$scratch/gui.out")
  if [ "$probe_code" != 0 ]; then
    fail "probe, locale $locale: $gui_out"
    stop_wine
  fi
  # Its last window is gone: the setup has to end now, not when the case's time is up.
  local waited
  for waited in $(seq 1200); do
    kill -0 "$setup_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$setup_pid" 2>/dev/null; then
    fail "$(basename "$setup") with windows, locale $locale: still running 120 s after the probe's last step; its processes:"
    ps -eo pid,etimes,args | grep -i '[w]ine\|[q]emu\|\.exe' | head -n 20
    stop_wine
  fi
  wait "$setup_pid" || code=$?
  [ "$probe_code" != 0 ] || [ "$code" = "$expected" ] ||
    fail "$(basename "$setup") with windows, locale $locale: exit code $code, expected $expected"
}

expect_shown() {
  [[ $gui_out == *"$1"* ]] || fail "not shown: $1"$'\n'"$gui_out"
}

case ${case_name#win64_} in
template)
  make_template
  ;;

install_uninstall)
  fresh_prefix
  register_host
  expect_client_fails
  snapshot before
  expect_exit 0 "$SETUP_EXE" /S
  expect_installed "$program_folder" 0.2.0.4 "$ZORVANE_DLL" "$ZORVANE_DLL64"
  expect_client_creates_plugin
  start_holder "$program_folder\\Zorvane.dll"
  stop_holder

  # The setup's version block, one per language; Windows shows the user's. The same file on
  # either Windows: read once.
  [ "$windows" = win64 ] ||
  for row in "de_DE.UTF-8 040704e4 Installation von Zorvane" "en_US.UTF-8 040904e4 Zorvane Setup"; do
    read -r locale table description <<<"$row"
    wine_locale=$locale w "$PROBE" version "$(winpath "$SETUP_EXE")" | tr -d '\r' >"$scratch/version"
    for line in "fixed FileVersion 0.2.0.4" "fixed ProductVersion 0.2.0.4" "$table ProductName=Zorvane" \
      "$table CompanyName=Ulvmar" "$table ProductVersion=0.2.0.4" "$table FileDescription=$description"; do
      grep -qxF "$line" "$scratch/version" || fail "setup's version block, $locale: no '$line'"
    done
    stop_wine
  done

  # As "Apps and features" runs it; the uninstaller copies itself away and returns at
  # once, so wait for the prefix to fall quiet. Its code is in the log.
  forget_log
  expect_line_exit 0 "$(reg_value "$uninstall_key" QuietUninstallString)"
  WINEPREFIX=$prefix wineserver -w
  expect_log 0 "$program_folder"
  expect_same_as before
  ;;

update)
  fresh_prefix
  register_host
  expect_client_fails
  snapshot before
  expect_exit 0 "$OLDER_SETUP_EXE" /S '/D=C:\Tools\Zorvane'
  expect_installed 'C:\Tools\Zorvane' 0.2.0.3 "$OLDER_DLL" "$OLDER_DLL64"
  for round in older same; do
    expect_exit 0 "$SETUP_EXE" /S
    expect_installed 'C:\Tools\Zorvane' 0.2.0.4 "$ZORVANE_DLL" "$ZORVANE_DLL64"
    [ ! -e "$(unixpath "$program_folder")" ] || fail "over the $round version: $program_folder was created"
  done
  expect_client_creates_plugin

  # The older build over the newer one: silently refused, nothing changed.
  snapshot newer
  expect_exit 6 "$OLDER_SETUP_EXE" /S
  expect_same_as newer
  expect_installed 'C:\Tools\Zorvane' 0.2.0.4 "$ZORVANE_DLL" "$ZORVANE_DLL64"
  if [ "$windows" = win32 ]; then
    # With windows, in German (the language the last setup chose is offered first): the
    # question names both versions; "No" changes nothing, "Yes" installs the older build.
    w reg add "$uninstall_key" /v "Installer Language" /t REG_SZ /d 1031 /f $view32 >/dev/null
    snapshot newer
    stop_wine
    # The question comes once the mode is settled, on leaving the mode's page.
    gui de_DE.UTF-8 "$OLDER_SETUP_EXE" 1 'window=Zorvane 0.2.0.3' texts click=#1 \
      'window=Installation von Zorvane 0.2.0.3' click=#1 'window=Installation von Zorvane 0.2.0.3' \
      'show=ohne Administratorrechte' texts click=#1 box texts click=#7
    expect_shown "ComboBox: Deutsch"
    expect_shown "In C:\Tools\Zorvane ist eine neuere Version von Zorvane installiert: 0.2.0.4."
    expect_shown "Diese Installation würde sie durch die ältere Version 0.2.0.3 ersetzen."
    expect_shown "Trotzdem installieren?"
    expect_shown "Installiert: Version 0.2.0.4 in C:\Tools\Zorvane"
    expect_same_as newer
    stop_wine
    gui de_DE.UTF-8 "$OLDER_SETUP_EXE" 0 'window=Zorvane 0.2.0.3' click=#1 \
      'window=Installation von Zorvane 0.2.0.3' 'show=wird ersetzt' click=#1 \
      'window=Installation von Zorvane 0.2.0.3' 'show=ohne Administratorrechte' click=#1 box click=#6 gone \
      'window=Installation von Zorvane 0.2.0.3' show=Fertigstellen click=#1 gone
    expect_installed 'C:\Tools\Zorvane' 0.2.0.3 "$OLDER_DLL"
    stop_wine
  fi

  # With _?= the uninstaller runs in place and reports its exit code; it cannot delete
  # itself then, so uninstall.exe and its folder are left for the caller.
  forget_log
  expect_line_exit 0 'C:\Tools\Zorvane\uninstall.exe /S _?=C:\Tools\Zorvane'
  expect_log 0 'C:\Tools\Zorvane'
  left=$(cd "$(unixpath 'C:\Tools\Zorvane')" && ls -A | tr '\n' ' ') || true
  [ "$left" = "uninstall.exe " ] || fail "after uninstall.exe _?=: C:\\Tools\\Zorvane holds $left"
  rm -rf "$(unixpath 'C:\Tools')"
  expect_same_as before
  ;;

without_host)
  fresh_prefix
  snapshot before
  stop_wine
  gui de_DE.UTF-8 "$SETUP_EXE" 1 'window=Zorvane 0.2.0.4' texts click=#1 box texts click=#7
  expect_shown "ComboBox: Deutsch"
  expect_shown 'window "Installation von Zorvane 0.2.0.4"'
  expect_shown "Orbanel ist auf diesem Computer nicht installiert: Die Typbibliothek VELTTypeLib 2.2 von Orbanel ist nicht registriert."
  stop_wine
  gui en_US.UTF-8 "$SETUP_EXE" 1 'window=Zorvane 0.2.0.4' texts click=#1 box texts click=#7
  expect_shown "ComboBox: English"
  expect_shown 'window "Zorvane 0.2.0.4 Setup"'
  expect_shown "Orbanel is not installed on this computer: its type library VELTTypeLib 2.2 is not registered."
  expect_same_as before

  expect_exit 3 "$SETUP_EXE" /S
  expect_installed "$program_folder" 0.2.0.4 "$ZORVANE_DLL" "$ZORVANE_DLL64"
  expect_line_exit 0 "\"$program_folder\\uninstall.exe\" /S _?=$program_folder"
  rm -rf "$(unixpath "$program_folder")"
  expect_same_as before
  ;;

in_use)
  # One locale for every program here: the client runs beside the setup.
  wine_locale=de_DE.UTF-8
  fresh_prefix
  register_host
  expect_exit 0 "$OLDER_SETUP_EXE" /S
  # Each DLL held by a client of its kind: setup and uninstaller change nothing.
  for bits in $(client_kinds); do
    if [ "$bits" = 32 ]; then
      start_holder "$program_folder\\Zorvane.dll"
    else
      start_holder64
    fi
    snapshot old

    expect_exit 4 "$SETUP_EXE" /S
    expect_same_as old
    expect_installed "$program_folder" 0.2.0.3 "$OLDER_DLL" "$OLDER_DLL64"
    forget_log
    expect_line_exit 4 "\"$program_folder\\uninstall.exe\" /S _?=$program_folder"
    expect_same_as old
    if [ "$bits" = 32 ]; then
      expect_log 4 "$program_folder\\Zorvane.dll"
    else
      expect_log 4 "$folder64\\Zorvane.dll"
    fi
    [ "$windows" = win32 ] || stop_holder
  done

  if [ "$windows" = win64 ]; then
    expect_exit 0 "$SETUP_EXE" /S
    expect_installed "$program_folder" 0.2.0.4 "$ZORVANE_DLL" "$ZORVANE_DLL64"
  else
    # With windows: the box names the file; the client quits; Retry finishes the update.
    gui de_DE.UTF-8 "$SETUP_EXE" 0 'window=Zorvane 0.2.0.4' click=#1 \
      'window=Installation von Zorvane 0.2.0.4' 'show=wird ersetzt' texts click=#1 \
      'window=Installation von Zorvane 0.2.0.4' 'show=ohne Administratorrechte' click=#1 \
      box texts "touch=$(winpath "$scratch/stop")" "await=$(winpath "$scratch/released")" click=#4 gone \
      'window=Installation von Zorvane 0.2.0.4' show=Fertigstellen click=#1 gone
    wait "$holder_pid" || true
    expect_shown "Die installierte Version in $program_folder wird ersetzt."
    expect_shown "Zorvane.dll wird gerade verwendet, vermutlich von Orbanel: / $program_folder\\Zorvane.dll"
    expect_installed "$program_folder" 0.2.0.4 "$ZORVANE_DLL"
  fi
  ;;

not_registered)
  fresh_prefix
  register_host
  snapshot before
  if [ "$windows" = win64 ]; then
    # Only the 64-bit DLL fails: the 32-bit one is registered all the same.
    expect_exit 5 "$UNLOADABLE64_SETUP_EXE" /S
    expect_files_and_entry "$program_folder" 0.2.0.4 "$ZORVANE_DLL" "$UNLOADABLE_DLL"
    expect_reg "HKCR\\CLSID\\$clsid\\InprocServer32" "" "$program_folder\\Zorvane.dll" "$view32"
    expect_reg "HKCR\\CLSID\\$clsid\\InprocServer32" "" "<missing>" "$view64"
  else
    expect_exit 5 "$UNLOADABLE_SETUP_EXE" /S
    expect_files_and_entry "$program_folder" 0.2.0.4 "$UNLOADABLE_DLL"
    expect_reg "HKCR\\CLSID\\$clsid\\InprocServer32" "" "<missing>"
  fi
  expect_line_exit 0 "\"$program_folder\\uninstall.exe\" /S _?=$program_folder"
  rm -rf "$(unixpath "$program_folder")"
  expect_same_as before
  ;;

older_windows)
  # Windows Vista, one release before the oldest both DLLs are built for: refused before
  # anything changes, with /S by its own exit code, with windows in the chosen language.
  fresh_prefix
  register_host
  w reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d vista /f >/dev/null
  stop_wine
  snapshot before
  expect_exit 8 "$SETUP_EXE" /S
  expect_same_as before
  stop_wine
  gui de_DE.UTF-8 "$SETUP_EXE" 8 'window=Zorvane 0.2.0.4' click=#1 box texts click=#1 gone
  expect_shown "Zorvane braucht Windows 7 oder neuer."
  stop_wine
  gui en_US.UTF-8 "$SETUP_EXE" 8 'window=Zorvane 0.2.0.4' click=#1 box texts click=#1 gone
  expect_shown "Zorvane needs Windows 7 or later."
  # In the language chosen, not the system's: German on an English system, as the elevated
  # copy gets it (/LANGID=, in place of the language box).
  gui_args=(/LANGID=1031)
  stop_wine
  gui en_US.UTF-8 "$SETUP_EXE" 8 box texts click=#1 gone
  gui_args=()
  expect_shown "Zorvane braucht Windows 7 oder neuer."
  expect_same_as before
  # Windows 7 itself: installed.
  w reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win7 /f >/dev/null
  stop_wine
  expect_exit 0 "$SETUP_EXE" /S
  expect_installed "$program_folder" 0.2.0.4 "$ZORVANE_DLL" "$ZORVANE_DLL64"
  ;;

signed)
  # The release signed with the build's throwaway certificate installs and works as the
  # unsigned one does, and the uninstaller it writes carries the signature makensis gave it.
  fresh_prefix
  register_host
  expect_client_fails
  snapshot before
  expect_exit 0 "$SIGNED_SETUP_EXE" /S
  expect_installed "$program_folder" 0.2.0.4 "$SIGNED_DLL" "$SIGNED_DLL64"
  for file in "$(unixpath "$program_folder")/uninstall.exe" "$(unixpath "$program_folder")/Zorvane.dll" \
    ${folder64:+"$(unixpath "$folder64")/Zorvane.dll"}; do
    osslsigncode verify -CAfile "$SIGNING_CERT" -in "$file" >"$scratch/verify" 2>&1 ||
      fail "installed ${file#"$prefix"/drive_c/}: the signature does not verify: $(tail -n 3 "$scratch/verify")"
  done
  expect_client_creates_plugin
  expect_line_exit 0 "\"$program_folder\\uninstall.exe\" /S _?=$program_folder"
  rm -rf "$(unixpath "$program_folder")"
  expect_same_as before
  ;;

uninstall_left)
  fresh_prefix
  register_host
  snapshot before
  expect_exit 0 "$SETUP_EXE" /S
  expect_installed "$program_folder" 0.2.0.4 "$ZORVANE_DLL" "$ZORVANE_DLL64"

  # A Zorvane.dll that no longer loads cannot be unregistered: it stays, still registered,
  # and with it the uninstaller and its entry; the other DLL goes.
  broken=$program_folder good_dll=$ZORVANE_DLL broken_view=$view32
  if [ "$windows" = win64 ]; then
    broken=$folder64 good_dll=$ZORVANE_DLL64 broken_view=$view64
  fi
  cp "$UNLOADABLE_DLL" "$(unixpath "$broken")/Zorvane.dll"
  forget_log
  expect_line_exit 5 "\"$program_folder\\uninstall.exe\" /S _?=$program_folder"
  cmp -s "$(unixpath "$broken")/Zorvane.dll" "$UNLOADABLE_DLL" || fail "$broken\\Zorvane.dll was deleted"
  expect_reg "HKCR\\CLSID\\$clsid\\InprocServer32" "" "$broken\\Zorvane.dll" "$broken_view"
  expect_reg "$uninstall_key" DisplayName Zorvane
  [ -e "$(unixpath "$program_folder")/uninstall.exe" ] || fail "uninstall.exe was deleted"
  if [ "$windows" = win64 ]; then
    [ ! -e "$(unixpath "$program_folder")/Zorvane.dll" ] || fail "the 32-bit Zorvane.dll stayed"
    expect_reg "HKCR\\CLSID\\$clsid\\InprocServer32" "" "<missing>" "$view32"
  fi
  expect_log 5 "$broken\\Zorvane.dll"

  # A DLL that loads again, and uninstall.exe held open while a copy of the uninstaller runs
  # for the folder, as the uninstaller itself does from the Temp folder: everything but
  # uninstall.exe goes; it stays, with the entry.
  cp "$good_dll" "$(unixpath "$broken")/Zorvane.dll"
  cp "$(unixpath "$program_folder")/uninstall.exe" "$scratch/uninstall.exe"
  start_lock "$program_folder\\uninstall.exe"
  forget_log
  expect_line_exit 7 "\"$(winpath "$scratch/uninstall.exe")\" /S _?=$program_folder"
  stop_holder
  files=$(cd "$(unixpath "$program_folder")" && LC_ALL=C ls -A | tr '\n' ' ') || true
  [ "$files" = "uninstall.exe " ] || fail "$program_folder holds: $files"
  [ -z "$folder64" ] || [ ! -e "$(unixpath "$folder64")" ] || fail "$folder64 stayed"
  for bits in $(client_kinds); do
    view=$view32
    [ "$bits" = 32 ] || view=$view64
    expect_reg "HKCR\\CLSID\\$clsid\\InprocServer32" "" "<missing>" "$view"
  done
  expect_reg "$uninstall_key" DisplayName Zorvane
  expect_log 7 "$program_folder\\uninstall.exe"

  # Now nothing holds on: the entry's uninstaller removes the rest.
  forget_log
  expect_line_exit 0 "\"$program_folder\\uninstall.exe\" /S _?=$program_folder"
  expect_log 0 "$program_folder"
  rm -rf "$(unixpath "$program_folder")"
  expect_same_as before
  ;;

dll_deleted)
  # A Zorvane.dll deleted by hand (by an antivirus, say) cannot unregister itself: the
  # uninstaller removes the keys that name it, as its unregistration would, and finishes. On
  # 64-bit Windows either DLL, and both.
  fresh_prefix
  register_host
  snapshot before
  gone_rows=32
  [ "$windows" = win32 ] || gone_rows="32 64 32+64"
  for gone in $gone_rows; do
    expect_exit 0 "$SETUP_EXE" /S
    for bits in ${gone//+/ }; do
      folder=$program_folder
      [ "$bits" = 32 ] || folder=$folder64
      rm "$(unixpath "$folder")/Zorvane.dll"
    done
    forget_log
    expect_line_exit 0 "\"$program_folder\\uninstall.exe\" /S _?=$program_folder"
    expect_log 0 "$program_folder"
    rm -rf "$(unixpath "$program_folder")"
    expect_same_as before
  done

  # What names another copy stays: a copy registered elsewhere after the setup (the 32-bit
  # class and library now name it), then the installed Zorvane.dll deleted.
  expect_exit 0 "$SETUP_EXE" /S
  mkdir -p "$(unixpath 'C:\Other')"
  cp "$ZORVANE_DLL" "$(unixpath 'C:\Other')/Zorvane.dll"
  w "$(windows_program32 regsvr32)" /s 'C:\Other\Zorvane.dll' || fail "regsvr32 C:\\Other\\Zorvane.dll failed"
  rm "$(unixpath "$program_folder")/Zorvane.dll"
  forget_log
  expect_line_exit 0 "\"$program_folder\\uninstall.exe\" /S _?=$program_folder"
  expect_log 0 "$program_folder"
  expect_reg "HKCR\\CLSID\\$clsid\\InprocServer32" "" 'C:\Other\Zorvane.dll' "$view32"
  expect_reg "HKCR\\TypeLib\\$libid\\1.0\\0\\win32" "" 'C:\Other\Zorvane.dll' "$view32"
  expect_reg "HKCR\\Zorvane.clsVELTPlugIn\\CLSID" "" "$clsid" ""
  w "$(windows_program32 regsvr32)" /u /s 'C:\Other\Zorvane.dll' || fail "regsvr32 /u C:\\Other\\Zorvane.dll failed"
  rm -rf "$(unixpath 'C:\Other')" "$(unixpath "$program_folder")"
  expect_same_as before
  ;;

folder_access)
  # A folder made under the drive's root inherits what the root grants every user there
  # (Windows: "Authenticated Users" may modify). The setup gives every folder it installs into
  # an access list of its own before it writes a file there: administrators and SYSTEM full
  # control, users read and execute, nothing inherited. Wine keeps no access lists, so what the
  # setup asked for is read from the Wine server's trace of its requests.
  fresh_prefix
  register_host
  snapshot before
  stop_wine
  code=0
  WINEDEBUG=+server w "$SETUP_EXE" /S '/D=C:\Tools\Zorvane' >/dev/null 2>"$scratch/trace" || code=$?
  [ "$code" = 0 ] || fail "setup /D=C:\\Tools\\Zorvane under the server's trace: exit code $code"
  stop_wine
  security_requests "$scratch/trace" >"$scratch/requests"
  for folder in 'C:\Tools\Zorvane' ${folder64:+"$folder64"}; do
    expect_folder_access "$scratch/requests" "$folder" S-1-5-32-544 \
      1f01ff,S-1-5-32-544 1f01ff,S-1-5-18 1200a9,S-1-5-32-545
  done
  expect_installed 'C:\Tools\Zorvane' 0.2.0.4 "$ZORVANE_DLL" "$ZORVANE_DLL64"
  expect_line_exit 0 'C:\Tools\Zorvane\uninstall.exe /S _?=C:\Tools\Zorvane'
  rm -rf "$(unixpath 'C:\Tools')"
  expect_same_as before

  # A folder whose access cannot be set: Linux lets nobody, not even root, change the mode of
  # the folders in /proc/sys, so Wine fails the call. Nothing is installed, exit code 9.
  expect_exit 9 "$SETUP_EXE" /S '/D=Z:\proc\sys\kernel'
  expect_same_as before
  # With windows the message names the folder, in German and in English. The directory page
  # takes no folder without free space, as /proc has none: here the folder is one on C: made
  # immutable (which also keeps its mode from being changed), where Linux lets us.
  if [ "$windows" = win32 ]; then
    mkdir "$(unixpath 'C:\Locked')"
    if chattr +i "$(unixpath 'C:\Locked')" 2>/dev/null; then
      immutable=$(unixpath 'C:\Locked')
      snapshot before
      gui_args=('/D=C:\Locked')
      for row in "de_DE.UTF-8|Installation von Zorvane 0.2.0.4|ohne Administratorrechte|Zugriffsrechte|Abbruch der Installation|Die Zugriffsrechte des Ordners C:\\Locked ließen sich nicht setzen" \
        "en_US.UTF-8|Zorvane 0.2.0.4 Setup|without administrator rights|access rights|Installation Aborted|The access rights of the folder C:\\Locked could not be set"; do
        IFS='|' read -r locale caption mode_page page_text aborted message <<<"$row"
        stop_wine
        gui "$locale" "$SETUP_EXE" 9 'window=Zorvane 0.2.0.4' click=#1 "window=$caption" click=#1 \
          "window=$caption" "show=$mode_page" click=#1 \
          "window=$caption" "show=$page_text" texts click=#1 box texts click=#1 gone "window=$caption" \
          "show=$aborted" click=#2 gone
        expect_shown "$message"
        expect_same_as before
      done
      gui_args=()
      chattr -i "$immutable"
      immutable=
    else
      echo "note: the message with windows is not shown here: chattr +i was refused"
    fi
    rmdir "$(unixpath 'C:\Locked')"
  fi
  ;;

planted_log)
  # The uninstaller runs elevated, or as SYSTEM, whose Temp folder every user may create files
  # in. Its log goes to a file it creates under a name of its own, never through what stands
  # there already: a link planted under the old fixed name, or under the names this run would
  # choose (they hold the time), is left as it was, and so is the file it points to.
  fresh_prefix
  register_host
  expect_exit 0 "$SETUP_EXE" /S
  forget_log
  temp=$(unixpath "$(temp_folder)")
  printf 'not a log\n' >"$scratch/victim"
  ln -s "$scratch/victim" "$temp/Zorvane-uninstall.log"
  now=$(date +%s)
  for second in $(seq 0 300); do
    ln -s "$scratch/victim" "$temp/Zorvane-uninstall-$(date -d "@$((now + second))" +%Y%m%d-%H%M%S).log"
  done
  expect_line_exit 0 "\"$program_folder\\uninstall.exe\" /S _?=$program_folder"
  [ "$(cat "$scratch/victim")" = "not a log" ] || fail "written through a planted link: $(tr -d '\0' <"$scratch/victim" | head -c 200)"
  [ "$(readlink "$temp/Zorvane-uninstall.log")" = "$scratch/victim" ] || fail "the link under the old name was changed"
  expect_log 0 "$program_folder"
  find "$temp" -maxdepth 1 -type l -name 'Zorvane-uninstall*.log' -delete

  if [ "$windows" = win32 ]; then
    # With windows, what was left is shown with the log's place: the file it names is this
    # run's log.
    rm -rf "$(unixpath "$program_folder")"
    expect_exit 0 "$SETUP_EXE" /S
    w reg add "$uninstall_key" /v "Installer Language" /t REG_SZ /d 1031 /f $view32 >/dev/null
    cp "$UNLOADABLE_DLL" "$(unixpath "$program_folder")/Zorvane.dll"
    forget_log
    stop_wine
    # In place (_?=, unquoted), so that its exit code is the one seen.
    printf '@"%s\\uninstall.exe" _?=%s\r\n@exit /b %%errorlevel%%\r\n' "$program_folder" "$program_folder" \
      >"$scratch/uninstall.cmd"
    gui_args=(/c "$(winpath "$scratch/uninstall.cmd")")
    gui de_DE.UTF-8 cmd 5 'window=Deinstallation von Zorvane 0.2.0.4' \
      click=#1 box texts click=#1 gone 'window=Deinstallation von Zorvane 0.2.0.4' show=abgeschlossen click=#1 gone
    gui_args=()
    expect_shown "Zorvane wurde nicht vollständig entfernt"
    named=$(printf '%s\n' "$gui_out" | grep -o 'Das Protokoll steht in [^ ]*\.log' | sed 's/^Das Protokoll steht in //')
    if [ -z "$named" ]; then
      fail "the message names no log: $gui_out"
    else
      [ "$(unixpath "$named")" = "$(uninstall_logs)" ] || fail "the message names $named; the log is $(uninstall_logs)"
    fi
    expect_log 5 "$program_folder\\Zorvane.dll"
  fi
  ;;

current_user)
  # For the current user only, by a user without administrator rights: installed silently, no
  # elevation asked, into the user's program folder, registered for the user, its entry among
  # the user's; nothing of the machine's changes.
  fresh_user_prefix
  user_sid=$(w "$PROBE" user-sid | tr -d '\r')
  stop_wine
  WINEDEBUG=+server as_user 0 "$SETUP_EXE" /S /CurrentUser 2>"$scratch/trace"
  stop_wine
  expect_installed "$user_folder" 0.2.0.4 "$ZORVANE_DLL" "$ZORVANE_DLL64"
  expect_same_as before HKLM.txt
  # The same protection against other users as any folder we install into: the user (owner
  # too), administrators and SYSTEM full control, nobody else, nothing inherited.
  security_requests "$scratch/trace" >"$scratch/requests"
  for folder in "$user_folder" ${folder64:+"$user_folder\\x64"}; do
    expect_folder_access "$scratch/requests" "$folder" "$user_sid" \
      "1f01ff,$user_sid" 1f01ff,S-1-5-32-544 1f01ff,S-1-5-18
  done
  merge_user_classes
  expect_client_creates_plugin
  take_out_merged_classes
  expect_same_as before HKLM.txt

  # For all users, the same user asks for elevation (a copy of the setup started with
  # "runas"), which Wine starts with the same token: refused, exit code 2, nothing changed.
  snapshot installed
  as_user 2 "$SETUP_EXE" /S /AllUsers
  expect_same_as installed

  # Removed by its entry's command line, as the user: the copy that runs from the Temp folder
  # leaves the exit code in the log.
  forget_log
  quiet=$(reg_value "$user_uninstall_key" QuietUninstallString)
  as_user_line 0 "$user_folder\\uninstall.exe" "$quiet"
  WINEPREFIX=$prefix wineserver -w
  expect_log 0 "$user_folder"
  expect_same_as before

  # An update keeps its mode: the older build for the user, then this setup without a switch.
  as_user 0 "$OLDER_SETUP_EXE" /S /CurrentUser
  expect_installed "$user_folder" 0.2.0.3 "$OLDER_DLL" "$OLDER_DLL64"
  as_user 0 "$SETUP_EXE" /S
  expect_installed "$user_folder" 0.2.0.4 "$ZORVANE_DLL" "$ZORVANE_DLL64"
  expect_same_as before HKLM.txt
  forget_log
  as_user_line 0 "$user_folder\\uninstall.exe" "\"$user_folder\\uninstall.exe\" /S _?=$user_folder"
  expect_log 0 "$user_folder"
  rm -rf "$(unixpath "$user_folder")"
  rmdir "$(dirname "$(unixpath "$user_folder")")"
  expect_same_as before
  ;;

mode_page)
  # With windows, the mode's page, run by a user without administrator rights. In English:
  # for all users, as the page offers first, the elevated copy says what is missing; back on
  # the page, for the user only, installed there with the folder's rights said on its page.
  fresh_user_prefix
  as_a_user=(limited "$(winpath "$SETUP_EXE")" "\"$(winpath "$SETUP_EXE")\"")
  gui_args=("${as_a_user[@]}")
  stop_wine
  gui en_US.UTF-8 "$PROBE" 0 'window=Zorvane 0.2.0.4' click=#1 'window=Zorvane 0.2.0.4 Setup' click=#1 \
    'window=Zorvane 0.2.0.4 Setup' 'show=without administrator rights' texts click=#1 box texts click=#1 gone \
    'window=Zorvane 0.2.0.4 Setup' 'show=without administrator rights' 'choose=For me only' click=#1 \
    'window=Zorvane 0.2.0.4 Setup' 'show=other users none' texts click=#1 \
    'window=Zorvane 0.2.0.4 Setup' show=Finish click=#1 gone
  expect_shown "Zorvane can be installed for all users of this computer, or for you only."
  expect_shown "For all users of this computer (needs administrator rights)"
  expect_shown "For me only ($(w cmd /c echo %USERNAME% | tr -d '\r')), without administrator rights"
  expect_shown "Orbanel started as administrator loads no plug-in installed for one user only"
  expect_shown "Installing Zorvane for all users needs administrator rights."
  expect_shown "Setup will install Zorvane for you only in the following folder."
  expect_shown "you, administrators and SYSTEM have full control, other users none."
  expect_installed "$user_folder" 0.2.0.4 "$ZORVANE_DLL"
  expect_same_as before HKLM.txt

  # The language chosen is kept in the user's own entry; the language box offers it next time.
  expect_reg "$user_uninstall_key" "Installer Language" 1033
  w reg add "$user_uninstall_key" /v "Installer Language" /t REG_SZ /d 1031 /f >/dev/null
  snapshot before_update
  # In German, the same user again: the page offers the user's installation, with its version
  # and folder, and the update keeps it there without asking for elevation.
  stop_wine
  gui de_DE.UTF-8 "$PROBE" 0 'window=Zorvane 0.2.0.4' click=#1 'window=Installation von Zorvane 0.2.0.4' \
    'show=wird ersetzt' click=#1 'window=Installation von Zorvane 0.2.0.4' 'show=ohne Administratorrechte' \
    texts click=#1 'window=Installation von Zorvane 0.2.0.4' show=Fertigstellen click=#1 gone
  gui_args=()
  expect_shown "Zorvane lässt sich für alle Benutzer dieses Computers installieren oder nur für Sie."
  expect_shown "Für alle Benutzer dieses Computers (braucht Administratorrechte)"
  expect_shown "ohne Administratorrechte / Installiert: Version 0.2.0.4 in $user_folder"
  expect_shown "Ein als Administrator gestartetes Orbanel lädt kein Plugin, das nur für einen Benutzer installiert ist"
  expect_installed "$user_folder" 0.2.0.4 "$ZORVANE_DLL"
  expect_same_as before HKLM.txt
  expect_same_as before_update HKCU.txt

  # The elevated copy, as "runas" starts it where it gets administrator rights (here Wine's
  # own user, an administrator, runs it): in the language it is given, whatever the
  # system's, past the pages its starter showed, straight to the folder; for all users.
  gui_args=(/AllUsers /Elevated /LANGID=1031)
  stop_wine
  gui en_US.UTF-8 "$SETUP_EXE" 0 'window=Installation von Zorvane 0.2.0.4' show=Zielverzeichnis texts click=#1 \
    'window=Installation von Zorvane 0.2.0.4' show=Fertigstellen click=#1 gone
  gui_args=()
  expect_shown "Zorvane wird für alle Benutzer in den folgenden Ordner installiert."
  expect_shown "Administratoren und SYSTEM dürfen alles, Benutzer nur lesen und ausführen."
  mode=AllUsers
  expect_installed "$program_folder" 0.2.0.4 "$ZORVANE_DLL"
  expect_line_exit 0 "\"$program_folder\\uninstall.exe\" /S _?=$program_folder"
  rm -rf "$(unixpath "$program_folder")"
  mode=CurrentUser
  expect_installed "$user_folder" 0.2.0.4 "$ZORVANE_DLL"
  expect_same_as before HKLM.txt
  ;;

side_by_side)
  # Both modes for the same user: each registration names its own files, the user's wins for
  # the user's programs, and each uninstaller removes only its own installation.
  fresh_user_prefix
  as_user 0 "$SETUP_EXE" /S /CurrentUser
  snapshot user
  expect_exit 0 "$SETUP_EXE" /S /AllUsers
  expect_same_as user HKCU.txt
  snapshot both
  expect_installed "$user_folder" 0.2.0.4 "$ZORVANE_DLL" "$ZORVANE_DLL64"
  # The machine's uninstaller, run by the user, asks for elevation too: refused, nothing removed.
  as_user_line 2 "$program_folder\\uninstall.exe" "\"$program_folder\\uninstall.exe\" /AllUsers /S _?=$program_folder"
  expect_same_as both
  mode=AllUsers
  expect_installed "$program_folder" 0.2.0.4 "$ZORVANE_DLL" "$ZORVANE_DLL64"

  # As Windows resolves the classes for the user's programs (merged here by hand): the user's
  # own Zorvane.dll; the holder is a 32-bit program, which cannot show it where Wine keeps
  # the user's classes in one view. Then the machine's registration as it was: its own
  # registration again.
  mode=CurrentUser
  if ! user_classes_shared; then
    merge_user_classes
    start_holder "$user_folder\\Zorvane.dll"
    stop_holder
    take_out_merged_classes
    w "$(windows_program32 regsvr32)" /s "$program_folder\\Zorvane.dll" || fail "regsvr32 $program_folder\\Zorvane.dll failed"
    expect_same_as both
  fi

  # Each uninstalls only its own: the machine's first, then, installed again, the user's.
  forget_log
  expect_line_exit 0 "\"$program_folder\\uninstall.exe\" /S _?=$program_folder"
  expect_log 0 "$program_folder"
  rm -rf "$(unixpath "$program_folder")"
  expect_same_as user
  expect_exit 0 "$SETUP_EXE" /S /AllUsers
  expect_same_as both
  forget_log
  as_user_line 0 "$user_folder\\uninstall.exe" "\"$user_folder\\uninstall.exe\" /S _?=$user_folder"
  expect_log 0 "$user_folder"
  rm -rf "$(unixpath "$user_folder")"
  rmdir "$(dirname "$(unixpath "$user_folder")")"
  expect_same_as both HKLM.txt
  expect_same_as before HKCU.txt
  start_holder "$program_folder\\Zorvane.dll"
  stop_holder
  expect_line_exit 0 "\"$program_folder\\uninstall.exe\" /S _?=$program_folder"
  rm -rf "$(unixpath "$program_folder")"
  expect_same_as before
  ;;

screenshot)
  out=$2
  # The steps to the page: the first, or the next one, where the mode is chosen.
  to_page=(show=Willkommen)
  [ "${3:-}" != mode ] || to_page=(show=Willkommen click=#1 'window=Installation von Zorvane 0.2.0.4' 'show=ohne Administratorrechte')
  fresh_prefix
  register_host
  stop_wine
  wine_locale=de_DE.UTF-8
  w "$SETUP_EXE" >/dev/null 2>&1 &
  setup_pid=$!
  w "$PROBE" gui 'window=Zorvane 0.2.0.4' click=#1 \
    'window=Installation von Zorvane 0.2.0.4' "${to_page[@]}" rect "touch=$(winpath "$scratch/shown")" \
    "await=$(winpath "$scratch/taken")" click=#2 box click=#6 >"$scratch/gui.out" 2>&1 &
  probe_pid=$!
  for i in $(seq 600); do
    [ -e "$scratch/shown" ] && break
    sleep 0.1
  done
  read -r x y width height < <(sed -n 's/^rect //p' "$scratch/gui.out" | tr -d '\r')
  [ -n "${height:-}" ] || die "the page did not show: $(cat "$scratch/gui.out")"
  sleep 1 # let it paint
  xwd -root -display "$DISPLAY" | convert xwd:- -crop "${width}x${height}+${x}+${y}" +repage "$out"
  touch "$scratch/taken"
  wait "$probe_pid" "$setup_pid" || true
  echo "$out: ${width}x${height}"
  ;;

*)
  die "unknown case $case_name"
  ;;
esac

if [ "$problems" -ne 0 ]; then
  echo "$problems problem(s); the prefix is kept in $prefix"
  exit 1
fi
stop_wine
[ "$case_name" = template ] || rm -rf "$prefix" "$scratch"
echo "setup $case_name: passed"
