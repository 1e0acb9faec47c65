#!/bin/sh
# Makes the certificates of the local HTTPS servers in the folder given:
#   ca.pem            a test CA (the one the tests trust)
#   server.pem/.key   127.0.0.1, signed by that CA
#   expired.pem/.key  127.0.0.1, signed by that CA, valid only in January 2020
#   other-ca.pem      a CA nobody trusts
#   other.pem/.key    127.0.0.1, signed by the untrusted CA
set -eu
cd "$1"
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"

openssl req -x509 $key -keyout ca.key -out ca.pem -days 30 -subj "/CN=Quorbilan Test CA" 2>/dev/null
openssl req -x509 $key -keyout other-ca.key -out other-ca.pem -days 30 -subj "/CN=Unknown Test CA" 2>/dev/null

printf 'subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n' > server.ext
for name in server other expired; do
    openssl req $key -keyout $name.key -out $name.csr -subj "/CN=127.0.0.1" 2>/dev/null
done
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 \
    -extfile server.ext -out server.pem 2>/dev/null
openssl x509 -req -in other.csr -CA other-ca.pem -CAkey other-ca.key -CAcreateserial -days 30 \
    -extfile server.ext -out other.pem 2>/dev/null

# x509 cannot back-date a certificate; the ca command can.
mkdir -p ca-db
: > ca-db/index.txt
echo 01 > ca-db/serial
cat > ca.cnf <<'CNF'
[ca]
default_ca = test
[test]
database = ca-db/index.txt
serial = ca-db/serial
new_certs_dir = ca-db
default_md = sha256
policy = any
x509_extensions = server
[any]
commonName = supplied
[server]
subjectAltName = IP:127.0.0.1
basicConstraints = CA:FALSE
CNF
openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in expired.csr -out expired.pem \
    -startdate 20200101000000Z -enddate 20200201000000Z -notext 2>/dev/null
