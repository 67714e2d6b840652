"""A small HTTP server that records every request, for the tests of the notices
that Corvasse posts to ntfy and to webhooks.

Listens on HOST:PORT and stores each request in OUTDIR as NNN.head (the request
line and header lines as received), NNN.body (the body) and NNN.json: the body
parsed as JSON and written again with sorted keys (UTF-8, not escaped), or
"not JSON: REASON". NNN.head is renamed into place last, so a reader that sees
it sees the whole request. With --fail PATH=N the first N requests to PATH are
answered 500; every other request 200 with a short body. Prints "ready" once it
listens.
"""

import argparse
import http.server
import itertools
import json
import os
import signal
import socketserver
import threading


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--outdir", required=True)
    parser.add_argument("--fail", action="append", default=[])
    args = parser.parse_args()

    failures = {}
    for rule in args.fail:
        path, count = rule.rsplit("=", 1)
        failures[path] = int(count)
    counter = itertools.count(1)
    lock = threading.Lock()

    def store(name, data):
        temporary = os.path.join(args.outdir, "." + name + ".tmp")
        with open(temporary, "wb") as out:
            out.write(data)
        os.rename(temporary, os.path.join(args.outdir, name))

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
            try:
                parsed = json.dumps(json.loads(body.decode("utf-8")), sort_keys=True, ensure_ascii=False)
            except ValueError as error:
                parsed = "not JSON: %s" % error
            with lock:
                number = next(counter)
                failing = failures.get(self.path, 0) > 0
                if failing:
                    failures[self.path] -= 1
            head = self.requestline + "\r\n" + "".join("%s: %s\r\n" % item for item in self.headers.items())
            store("%03d.body" % number, body)
            store("%03d.json" % number, parsed.encode("utf-8"))
            store("%03d.head" % number, head.encode("latin-1"))
            answer = b"failed\n" if failing else b"ok\n"
            self.send_response(500 if failing else 200)
            self.send_header("Content-Length", str(len(answer)))
            self.end_headers()
            self.wfile.write(answer)

        def log_message(self, *_):
            pass

    class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
        daemon_threads = True

    server = Server((args.host, args.port), Handler)
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    print("ready", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
