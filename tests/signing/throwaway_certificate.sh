#!/usr/bin/env bash
# throwaway_certificate.sh <certificate.pem> <key.pem>: a self-signed code-signing
# certificate and its key, for signing a release in a test and nowhere else.
set -euo pipefail
cert=$1 key=$2
mkdir -p "$(dirname "$cert")" "$(dirname "$key")"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! openssl req -x509 -newkey rsa:2048 -nodes -days 30 -sha256 \
  -subj "/CN=Zorvane test signing/O=Ulvmar" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$key" -out "$cert" >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
