#!/bin/sh
# Signs the fixture's update program with a certificate made for this test.
set -e
dir="$1"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Tessaly Test' \
  -keyout "$dir/key.pem" -out "$dir/cert.pem" 2>/dev/null
rm -f "$dir/Signed.exe"
osslsigncode sign -certs "$dir/cert.pem" -key "$dir/key.pem" -n "Tessaly Update" \
  -in "$dir/Update.exe" -out "$dir/Signed.exe" >/dev/null
