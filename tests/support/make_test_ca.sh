#!/usr/bin/env bash
# Makes a throw-away certificate authority and a server certificate it signs
# (subject alternative names 127.0.0.1 and localhost) for TLS tests.
# Usage: make_test_ca.sh OUTDIR
# Writes OUTDIR/ca.pem, OUTDIR/ca.key, OUTDIR/server.pem, OUTDIR/server.key.
set -euo pipefail
out=${1:?usage: make_test_ca.sh OUTDIR}
mkdir -p "$out"
cd "$out"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Velmora Test CA" \
  -keyout ca.key -out ca.pem \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server.key -out server.csr 2>/dev/null
cat > server.ext <<EXT
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=IP:127.0.0.1,DNS:localhost
EXT
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
  -extfile server.ext -out server.pem 2>/dev/null
rm -f server.csr server.ext ca.srl
