#!/usr/bin/python3
"""The update service for tests, the demo and benchmarks: HTTPS on localhost, TLS 1.2 only.

  update_service.py serve --state DIR [--tree DIR] [--ca DIR] [--port 25556]
  update_service.py start --state DIR [...]   serve in the background; returns once listening
  update_service.py stop --state DIR          stop the server started with this state folder
  update_service.py trust-ca [--ca DIR]       trust the test authority in $WINEPREFIX

See README.md beside this file for the published tree, the scenarios and the control files.
"""

import argparse
import errno
import gzip
import http.server
import json
import os
import pathlib
import re
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import test_ca  # noqa: E402

SERVICE_PORT = 25556
CHECK_UPDATE = "/rpc/v1/client-update/check-update"
GET_PACKAGE = "/rpc/v1/client-update/get-package"
MAX_REQUEST_BODY = 32 * 1024 * 1024
BLOCK = 1024 * 1024
CONNECTION_TIMEOUT = 60
PACKAGE_ID = re.compile(r"[A-Za-z0-9_-][A-Za-z0-9._-]{0,127}")
CHECK_UPDATE_MEMBERS = ["protocol_version", "platform", "architecture", "channel",
                        "current_build", "current_version"]


def default_ca_dir():
    root = os.environ.get("ZYR_WINE_ROOT")
    if not root:
        sys.exit("update_service: no --ca and no ZYR_WINE_ROOT (run under scripts/with-wine)")
    return os.path.join(root, "test-ca")


def pattern_bytes(offset, count):
    """Generated bodies: byte i of a body is i mod 251, so a shifted or cut body shows."""
    start = offset % 251
    period = bytes(range(251))
    repeated = period[start:] + period * (count // 251 + 2)
    return repeated[:count]


class Scenario:
    """How one answer departs from the normal one; parsed from "key=value,key=value"."""

    def __init__(self, text=""):
        self.status = None
        self.encoding = None
        self.body = None
        self.length = None
        self.no_length = False
        self.slow_ms = 0
        self.echo = False
        self.probe = None
        for item in filter(None, text.split(",")):
            key, _, value = item.partition("=")
            if key == "status":
                self.status = int(value)
            elif key == "encoding":
                self.encoding = value
            elif key == "body":
                self.body = int(value)
            elif key == "length":
                self.length = int(value)
            elif key == "nolength":
                self.no_length = True
            elif key == "slow":
                self.slow_ms = int(value)
            elif key == "echo":
                self.echo = True
            elif key == "probe":
                self.probe = value
            else:
                raise ValueError(f"unknown scenario item {item!r}")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def version_string(self):
        return "ZyrUpdateService/1"

    def setup(self):
        self.request.settimeout(CONNECTION_TIMEOUT)
        self.request.do_handshake()
        super().setup()

    def log_message(self, fmt, *args):
        self.server.service.log(f"{self.address_string()} {fmt % args}")

    def do_GET(self):
        self.handle_request("GET")

    def do_POST(self):
        self.handle_request("POST")

    def do_HEAD(self):
        self.answer(405, b"")

    def read_body(self):
        length = self.headers.get("Content-Length")
        if length is None:
            return b""
        if not length.isdigit() or int(length) > MAX_REQUEST_BODY:
            raise ValueError("bad request length")
        return self.rfile.read(int(length))

    def handle_request(self, method):
        service = self.server.service
        service.record(f"{method} {self.path}")
        path = self.path
        scenario_text = service.control("scenario") or ""
        match = re.match(r"/_scenario/([^/]*)(/.*)?$", path)
        if match:
            scenario_text, path = match.group(1), match.group(2) or "/"
        try:
            scenario = Scenario(urllib.parse.unquote(scenario_text))
            body = self.read_body()
        except ValueError as error:
            self.close_connection = True
            return self.answer(400, str(error).encode())
        if scenario.echo:
            raw = b"".join(f"{k}: {v}\r\n".encode("latin-1") for k, v in self.headers.raw_items())
            return self.answer(200, raw + b"\r\n" + body, scenario=scenario)
        if scenario.status is not None:
            headers = {}
            if scenario.status in (301, 302, 303, 307, 308):
                probe = scenario.probe or "redirect-target"
                headers["Location"] = f"https://localhost:{service.port}/_probe/{probe}"
            return self.answer(scenario.status, f"status {scenario.status}\n".encode(), headers,
                               scenario)
        if scenario.body is not None:
            return self.answer(200, None, scenario=scenario, generated=scenario.body)

        split = urllib.parse.urlsplit(path)
        if method == "POST" and split.path in (CHECK_UPDATE, GET_PACKAGE):
            status, answer = self.rpc(split.path, body)
            return self.answer(status, answer, {"Content-Type": "application/json"}, scenario)
        if split.path.startswith("/_probe/"):
            return self.answer(200, b"probe\n", scenario=scenario)
        if method == "GET" and split.path.startswith("/files/"):
            return self.serve_file(split.path[len("/files/"):], scenario)
        return self.answer(404, b"not found\n", scenario=scenario)

    def rpc(self, path, body):
        content_type = self.headers.get("Content-Type", "").split(";")[0].strip().lower()
        if content_type != "application/json":
            return 415, b'{"error":"content type"}'
        try:
            request = json.loads(body.decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            return 400, b'{"error":"json"}'
        tree = self.server.service.tree()
        if path == CHECK_UPDATE:
            if (not isinstance(request, dict) or list(request) != CHECK_UPDATE_MEMBERS
                    or request["protocol_version"] != 1 or request["platform"] != "windows"
                    or request["architecture"] != "x86_64" or request["channel"] != "stable"
                    or type(request["current_build"]) is not int or request["current_build"] < 0
                    or not isinstance(request["current_version"], str)):
                return 400, b'{"error":"check-update request"}'
            answer = tree / "check-update.json"
        else:
            if not isinstance(request, dict) or list(request) != ["package_id"] \
                    or not isinstance(request["package_id"], str):
                return 400, b'{"error":"get-package request"}'
            package_id = request["package_id"]
            if not PACKAGE_ID.fullmatch(package_id):
                return 404, b'{"error":"unknown package"}'
            answer = tree / "packages" / f"{package_id}.json"
        if not answer.is_file():
            return 404, b'{"error":"not published"}'
        return 200, answer.read_bytes()

    def serve_file(self, relative, scenario):
        relative = urllib.parse.unquote(relative)
        parts = relative.split("/")
        files = (self.server.service.tree() / "files").resolve()
        target = files.joinpath(*parts).resolve() if parts else files
        if (any(p in ("", ".", "..") for p in parts) or "\\" in relative
                or files not in target.parents or not target.is_file()):
            return self.answer(404, b"not found\n", scenario=scenario)
        size = target.stat().st_size
        with open(target, "rb") as f:
            self.answer(200, None, {"Content-Type": "application/octet-stream"}, scenario,
                        stream=f, stream_size=size)

    def answer(self, status, body, headers=None, scenario=None, generated=None, stream=None,
               stream_size=None):
        scenario = scenario or Scenario()
        headers = dict(headers or {})
        if scenario.encoding is not None:
            headers["Content-Encoding"] = scenario.encoding
            if scenario.encoding.lower() == "gzip":
                if body is None:
                    body = pattern_bytes(0, generated) if stream is None else stream.read()
                    generated = stream = None
                body = gzip.compress(body)
        size = len(body) if body is not None else generated if generated is not None else stream_size
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        if scenario.no_length:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            declared = scenario.length if scenario.length is not None else size
            self.send_header("Content-Length", str(declared))
            if declared != size:
                self.send_header("Connection", "close")
                self.close_connection = True
        self.end_headers()
        sent = 0
        while sent < size:
            count = min(BLOCK if not scenario.slow_ms else 65536, size - sent)
            if body is not None:
                block = body[sent:sent + count]
            elif generated is not None:
                block = pattern_bytes(sent, count)
            else:
                block = stream.read(count)
                if not block:
                    break
            try:
                self.wfile.write(block)
            except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
                self.close_connection = True
                return
            sent += len(block)
            if scenario.slow_ms:
                time.sleep(scenario.slow_ms / 1000)


class CrlHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        self.server.service.log(f"crl {self.address_string()} {fmt % args}")

    def do_GET(self):
        self.server.service.record(f"CRL GET {self.path}")
        if self.path != "/test-ca.crl":
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        data = self.server.service.crl
        self.send_response(200)
        self.send_header("Content-Type", "application/pkix-crl")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


class Service:
    def __init__(self, args):
        self.state = pathlib.Path(args.state).resolve()
        self.state.mkdir(parents=True, exist_ok=True)
        self.default_tree = pathlib.Path(args.tree).resolve() if args.tree else self.state / "empty-tree"
        self.port = args.port
        self.lock = threading.Lock()
        self.last_request = time.monotonic()

    def log(self, line):
        sys.stderr.write(line + "\n")

    def record(self, line):
        self.last_request = time.monotonic()
        with self.lock, open(self.state / "requests.log", "a", encoding="utf-8") as f:
            f.write(line + "\n")

    def control(self, name):
        try:
            return (self.state / name).read_text(encoding="utf-8").strip()
        except FileNotFoundError:
            return None

    def tree(self):
        """The published tree: the control file "tree" when present, else --tree."""
        chosen = self.control("tree")
        if not chosen:
            return self.default_tree
        if re.match(r"[Zz]:\\", chosen):  # a Windows test names Unix paths through drive Z:
            chosen = chosen[2:].replace("\\", "/")
        return pathlib.Path(chosen)


def bind_when_free(make, timeout):
    """Binds, waiting while another test run still holds the fixed port."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            return make()
        except OSError as error:
            if error.errno != errno.EADDRINUSE or time.monotonic() > deadline:
                raise
            time.sleep(0.5)


def serve(args):
    service = Service(args)
    ca_dir = args.ca or default_ca_dir()
    (service.state / "ready").unlink(missing_ok=True)
    (service.state / "requests.log").unlink(missing_ok=True)

    crl_server = Server(("127.0.0.1", 0), CrlHandler)
    crl_server.service = service
    crl_url = f"http://127.0.0.1:{crl_server.server_address[1]}/test-ca.crl"
    (good, revoked), crl = test_ca.issue_server(ca_dir, service.state / "tls", crl_url)
    service.crl = crl.read_bytes()

    def https_server(address, pair):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.minimum_version = ssl.TLSVersion.TLSv1_2
        context.maximum_version = ssl.TLSVersion.TLSv1_2
        context.load_cert_chain(*pair)
        server = Server(address, Handler)
        # The handshake happens in the connection's own thread (Handler.setup), so that a
        # client stuck in it cannot stop the listener from accepting others.
        server.socket = context.wrap_socket(server.socket, server_side=True,
                                            do_handshake_on_connect=False)
        server.service = service
        return server

    server = bind_when_free(lambda: https_server(("127.0.0.1", args.port), good),
                            args.bind_timeout)
    service.port = server.server_address[1]
    # Listeners that a correct client must refuse, on ephemeral ports named in "listeners":
    # "revoked" presents a certificate that the revocation list revokes.
    refused = {"revoked": https_server(("127.0.0.1", 0), revoked)}
    (service.state / "listeners").write_text(
        "".join(f"{name} {s.server_address[1]}\n" for name, s in refused.items()))

    servers = [crl_server, server, *refused.values()]
    for s in servers:
        threading.Thread(target=s.serve_forever, daemon=True).start()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    (service.state / "port").write_text(f"{service.port}\n")
    (service.state / "ready").write_text(f"{os.getpid()}\n")
    service.log(f"listening on https://localhost:{service.port}, revocation list at {crl_url}")
    # A test run that dies without its clean-up must not hold the fixed port for ever.
    while not stop.wait(1):
        if args.idle_exit and time.monotonic() - service.last_request > args.idle_exit:
            service.log("idle; exiting")
            break
    (service.state / "ready").unlink(missing_ok=True)
    for s in servers:
        s.shutdown()


def start(args):
    if args.trust_ca:
        trust_ca(args)
    state = pathlib.Path(args.state).resolve()
    state.mkdir(parents=True, exist_ok=True)
    stop(args)
    (state / "ready").unlink(missing_ok=True)
    command = [sys.executable, os.path.abspath(__file__), "serve", "--state", str(state),
               "--port", str(args.port), "--bind-timeout", str(args.bind_timeout),
               "--idle-exit", str(args.idle_exit)]
    if args.tree:
        command += ["--tree", args.tree]
    if args.ca:
        command += ["--ca", args.ca]
    with open(state / "service.log", "ab") as log:
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                   start_new_session=True)
    (state / "pid").write_text(f"{process.pid}\n")
    deadline = time.monotonic() + args.bind_timeout + 30
    while time.monotonic() < deadline:
        if (state / "ready").exists():
            print(f"update service {process.pid} listening on port {args.port}")
            return 0
        if process.poll() is not None:
            sys.stderr.write((state / "service.log").read_text(errors="replace"))
            return 1
        time.sleep(0.05)
    process.kill()
    return 1


def stop(args):
    state = pathlib.Path(args.state).resolve()
    try:
        pid = int((state / "pid").read_text())
    except (FileNotFoundError, ValueError):
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    for _ in range(200):
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            break
        # Our own child from `start` in this process: reap it.
        try:
            os.waitpid(pid, os.WNOHANG)
        except ChildProcessError:
            pass
        time.sleep(0.05)
    else:
        os.kill(pid, signal.SIGKILL)
    (state / "pid").unlink(missing_ok=True)
    return 0


def trust_ca(args):
    """Adds the test authority to the Root store of $WINEPREFIX, once per prefix."""
    prefix = os.environ.get("WINEPREFIX")
    if not prefix:
        sys.exit("update_service: WINEPREFIX is not set (run under scripts/with-wine)")
    ca_dir = args.ca or default_ca_dir()
    thumbprint, reg = test_ca.root_store_reg(ca_dir)
    marker = pathlib.Path(prefix) / ".zyr-test-ca"
    if marker.exists() and marker.read_text().strip() == thumbprint:
        return 0
    reg_path = pathlib.Path(ca_dir) / "root-store.reg"
    reg_path.write_text(reg, encoding="utf-16", newline="")
    subprocess.run(["wine", "reg", "import", str(reg_path)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # Waiting for the server writes the registry to disk; a persistent server (a test run
    # under scripts/with-wine) never exits, so the wait is bounded and the running server
    # already holds the new trust.
    try:
        subprocess.run(["wineserver", "-w"], check=False, timeout=20)
    except subprocess.TimeoutExpired:
        pass
    marker.write_text(thumbprint + "\n")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    for name in ("serve", "start", "stop"):
        command = commands.add_parser(name)
        command.add_argument("--state", required=True, help="folder for logs and control files")
        command.add_argument("--tree", help="published tree (default: <state>/empty-tree)")
        command.add_argument("--ca", help="test authority folder (default: $ZYR_WINE_ROOT/test-ca)")
        command.add_argument("--port", type=int, default=SERVICE_PORT)
        command.add_argument("--bind-timeout", type=float, default=900,
                             help="seconds to wait while another run holds the port")
        command.add_argument("--idle-exit", type=float, default=900,
                             help="exit after this many seconds without a request (0: never)")
        if name == "start":
            command.add_argument("--trust-ca", action="store_true",
                                 help="first make $WINEPREFIX trust the test authority")
    commands.add_parser("trust-ca").add_argument("--ca")
    args = parser.parse_args()
    return {"serve": serve, "start": start, "stop": stop, "trust-ca": trust_ca}[args.command](args) or 0


if __name__ == "__main__":
    sys.exit(main())
