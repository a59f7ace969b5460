#!/usr/bin/env python3
"""A timestamp server (RFC 3161 over HTTP) on the loopback for one test: each query is
answered by `openssl ts -reply` with a throwaway time-stamping certificate.

Usage: timestamp_server.py <work dir> <file to write the port to>
It makes its certificate in <work dir> (tsa.pem, the one a verifier trusts), then serves until
it is killed."""
import http.server
import os
import subprocess
import sys
import tempfile

work, port_file = sys.argv[1], sys.argv[2]
os.makedirs(work, exist_ok=True)
cert, key = os.path.join(work, "tsa.pem"), os.path.join(work, "tsa-key.pem")
config = os.path.join(work, "tsa.cnf")
with open(config, "w") as out:
    out.write(f"""[ tsa ]
default_tsa = zorvane_test
[ zorvane_test ]
serial = {os.path.join(work, 'serial')}
crypto_device = builtin
signer_cert = {cert}
signer_key = {key}
signer_digest = sha256
default_policy = 1.3.6.1.4.1.4146.2.3
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = yes
ess_cert_id_chain = no
ess_cert_id_alg = sha256
""")
with open(os.path.join(work, "serial"), "w") as out:
    out.write("01\n")
subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-sha256",
                "-subj", "/CN=Zorvane test timestamps/O=Ulvmar",
                "-addext", "keyUsage=critical,digitalSignature",
                "-addext", "extendedKeyUsage=critical,timeStamping",
                "-keyout", key, "-out", cert], check=True, capture_output=True)


class Timestamps(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.TemporaryDirectory(dir=work) as scratch:
            query_file, reply_file = os.path.join(scratch, "q.tsq"), os.path.join(scratch, "r.tsr")
            with open(query_file, "wb") as out:
                out.write(query)
            made = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", query_file,
                                   "-out", reply_file], capture_output=True)
            if made.returncode != 0:
                self.send_error(400, made.stderr.decode(errors="replace")[:200])
                return
            with open(reply_file, "rb") as reply:
                body = reply.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Timestamps)
with open(port_file + ".part", "w") as out:
    out.write(str(server.server_address[1]))
os.replace(port_file + ".part", port_file)
server.serve_forever()
