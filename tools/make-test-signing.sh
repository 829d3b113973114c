#!/usr/bin/env bash
# Test certificates and signed copies of a test program for the update tests, made at build time
# with Debian's openssl and osslsigncode:
#   root.der         the test root (the tests trust it in the test prefix only)
#   signed.exe       signed by "QVR Suite Software" under that root
#   other.exe        signed by "Another Maker" under that root
#   untrusted.exe    signed by "QVR Suite Software" under a root of the same name nobody trusts
#   partial.exe      the same leaf without its root: a chain that ends nowhere
#   expired.exe      signed by "QVR Suite Software" with a certificate that expired in 2021
#   unsigned.exe     the program as built
# Usage: make-test-signing.sh OUTDIR PROGRAM.exe
set -euo pipefail
out=$1 program=$2
publisher="QVR Suite Software" root_name="QVR Suite Code Signing Root"
rm -rf "$out" && mkdir -p "$out/ca"
cd "$out"
: > ca/index.txt
echo 1000 > ca/serial
cat > ca.cnf <<CNF
[ca]
default_ca = signing
[signing]
dir = $out/ca
database = \$dir/index.txt
new_certs_dir = \$dir
serial = \$dir/serial
default_md = sha256
policy = any
unique_subject = no
x509_extensions = codesign
[any]
commonName = supplied
[codesign]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

make_root() {  # name
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj "/CN=$root_name" -keyout "$1.key" -out "$1.pem" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
make_leaf() {  # name root subject [startdate enddate]
  openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$3" -keyout "$1.key" -out "$1.csr" 2>/dev/null
  local dates=(-days 3650)
  [ $# -ge 5 ] && dates=(-startdate "$4" -enddate "$5")
  openssl ca -batch -notext -config ca.cnf -cert "$2.pem" -keyfile "$2.key" -in "$1.csr" -out "$1.pem" "${dates[@]}" 2>/dev/null
  cat "$1.pem" "$2.pem" > "$1.chain.pem"
}
sign() {  # leaf output [certificates]
  osslsigncode sign -certs "${3:-$1.chain.pem}" -key "$1.key" -h sha256 -in "$program" -out "$2" >/dev/null
}

make_root root
make_root stranger
make_leaf maker root "$publisher"
make_leaf other root "Another Maker"
make_leaf foreign stranger "$publisher"
make_leaf expired root "$publisher" 20200101000000Z 20210101000000Z
openssl x509 -in root.pem -outform DER -out root.der
sign maker signed.exe
sign other other.exe
sign foreign untrusted.exe
sign foreign partial.exe foreign.pem
sign expired expired.exe
cp "$program" unsigned.exe
