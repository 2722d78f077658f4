"""An RFC 3161 timestamp server on 127.0.0.1 for the release test: each POSTed query is answered by
`openssl ts -reply` with the test PKI's timestamping certificate. Writes its port to PORT_FILE and
counts the answers it gave in PORT_FILE.count, its other files beside them; ends after 120 s at the latest.
    timestamp_server.py PKI_DIR PORT_FILE"""
import http.server
import os
import subprocess
import sys
import threading

pki, port_file = sys.argv[1], sys.argv[2]
CONFIG = """[tsa]
default_tsa = test
[test]
serial = {dir}/serial
signer_cert = {pki}/tsa.crt
signer_key = {pki}/tsa.key
certs = {pki}/ca.crt
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
ess_cert_id_chain = no
"""
work = os.path.dirname(os.path.abspath(port_file))
with open(os.path.join(work, "ts.cnf"), "w") as f:
    f.write(CONFIG.format(dir=work, pki=pki))
with open(os.path.join(work, "serial"), "w") as f:
    f.write("01\n")
answered = 0


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        global answered
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", os.path.join(work, "ts.cnf"),
                                "-queryfile", "/dev/stdin", "-out", "/dev/stdout"], input=query,
                               capture_output=True)
        if reply.returncode != 0 or not reply.stdout:
            self.send_error(500, reply.stderr.decode(errors="replace")[:200])
            return
        answered += 1
        with open(port_file + ".count", "w") as f:
            f.write(str(answered))
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply.stdout)))
        self.end_headers()
        self.wfile.write(reply.stdout)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
threading.Timer(120, server.shutdown).start()
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.replace(port_file + ".tmp", port_file)
server.serve_forever()
