#!/usr/bin/env bash
# The release as the build signed it with a certificate of its own: every file carries an
# Authenticode signature with SHA-256 that verifies against that certificate, a changed byte
# breaks it, and package/sign-file also takes a timestamp from a server when one is named.
# Usage: check_signatures.sh <certificate> <key> <unsigned DLL> <signed file>...
set -euo pipefail

cert=$1 key=$2 unsigned=$3
shift 3
[ $# -gt 0 ] || { echo "no signed files named" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
sign_file=$here/../../package/sign-file
work=$(mktemp -d)
server_pid=
trap '[ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null; rm -rf "$work"' EXIT

problems=0
fail() {
  echo "FAIL: $*"
  problems=$((problems + 1))
}

# verify <file> [osslsigncode options...]: its report in $work/report; fails with its report.
verify() {
  local file=$1
  shift
  osslsigncode verify -CAfile "$cert" "$@" -in "$file" >"$work/report" 2>&1
}
expect_in_report() {
  grep -qF "$1" "$work/report" || fail "$2: no '$1' in osslsigncode's report"$'\n'"$(cat "$work/report")"
}

for file in "$@"; do
  name=${file##*/signed-check/}
  if ! verify "$file"; then
    fail "$name: the signature does not verify"$'\n'"$(cat "$work/report")"
    continue
  fi
  expect_in_report "Message digest algorithm  : SHA256" "$name"
  expect_in_report "Subject: /CN=Zorvane test signing/O=Ulvmar" "$name"
  echo "$name: signed, SHA-256, verified"
done

# One byte of code changed after signing: the signature no longer holds.
cp "$1" "$work/changed.dll"
printf '\xcc' | dd of="$work/changed.dll" bs=1 seek=4096 conv=notrunc status=none
if verify "$work/changed.dll"; then
  fail "${1##*/signed-check/} with a byte changed still verifies"
fi

# A file that was never signed does not verify: what an unsigned build ships.
if verify "$unsigned"; then
  fail "the unsigned DLL verifies: $unsigned"
fi

# With a timestamp server: the loopback one, its own certificate trusted for the check.
python3 "$here/timestamp_server.py" "$work/tsa" "$work/port" &
server_pid=$!
for _ in $(seq 100); do
  [ -s "$work/port" ] && break
  sleep 0.1
done
[ -s "$work/port" ] || { fail "the timestamp server did not start"; exit 1; }
cp "$unsigned" "$work/stamped.dll"
if ! ZORVANE_SIGN_CERT=$cert ZORVANE_SIGN_KEY=$key ZORVANE_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat "$work/port")/" \
  "$sign_file" "$work/stamped.dll"; then
  fail "sign-file with a timestamp server failed"
elif ! verify "$work/stamped.dll" -TSA-CAfile "$work/tsa/tsa.pem"; then
  fail "the timestamped DLL does not verify"$'\n'"$(cat "$work/report")"
else
  expect_in_report "Timestamp Server Signature verification: ok" "timestamped DLL"
  echo "signed with a timestamp from the server: verified"
fi

# Without a certificate sign-file refuses, and the file stays as it was.
cp "$unsigned" "$work/refused.dll"
if env -u ZORVANE_SIGN_CERT "$sign_file" "$work/refused.dll" 2>/dev/null; then
  fail "sign-file without a certificate succeeded"
fi
cmp -s "$unsigned" "$work/refused.dll" || fail "sign-file without a certificate changed the file"

if [ "$problems" -ne 0 ]; then
  echo "$problems problem(s)"
  exit 1
fi
echo "signatures: passed"
