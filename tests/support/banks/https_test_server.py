"""Serves a folder over HTTPS on 127.0.0.1 for the hosted bank tests.

Usage: https_test_server.py ROOT CERT KEY REQUEST_LOG
Prints the port it listens on, then serves until terminated. Every request path is appended to
REQUEST_LOG. Two extra paths answer with redirects: /redirect-to-http (to plain HTTP) and
/redirect-to-good (to /good.zip on this server).
"""
import http.server
import ssl
import sys

root, cert, key, request_log = sys.argv[1:5]


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=root, **kwargs)

    def log_message(self, *args):
        pass

    def redirect(self, location):
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        with open(request_log, "a") as log:
            log.write(self.path + "\n")
        port = self.server.server_address[1]
        if self.path == "/redirect-to-http":
            self.redirect("http://127.0.0.1:%d/good.zip" % port)
        elif self.path == "/redirect-to-good":
            self.redirect("/good.zip")
        else:
            super().do_GET()


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
server.socket = context.wrap_socket(server.socket, server_side=True)
print(server.server_address[1], flush=True)
server.serve_forever()
