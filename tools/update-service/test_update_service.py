"""The update service's request checks, published-tree lookups and control files."""

import gzip
import http.client
import json
import pathlib
import shutil
import ssl
import subprocess
import sys
import tempfile
import unittest

HERE = pathlib.Path(__file__).resolve().parent
SERVICE = HERE / "update_service.py"
CHECK_UPDATE = "/rpc/v1/client-update/check-update"
GET_PACKAGE = "/rpc/v1/client-update/get-package"
GOOD_CHECK = {"protocol_version": 1, "platform": "windows", "architecture": "x86_64",
              "channel": "stable", "current_build": 0, "current_version": ""}


class UpdateServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="zyr-update-service-"))
        cls.state, cls.tree = cls.work / "state", cls.work / "tree"
        (cls.tree / "packages").mkdir(parents=True)
        (cls.tree / "files" / "pkg" / "sub").mkdir(parents=True)
        (cls.tree / "check-update.json").write_bytes(b'{"status":"up_to_date"}')
        (cls.tree / "packages" / "full-2.json").write_bytes(b'{"package":"full-2"}')
        (cls.tree / "files" / "pkg" / "sub" / "a b.txt").write_bytes(b"file body")
        (cls.work / "secret.txt").write_bytes(b"outside the tree")
        (cls.tree / "files" / "escape").symlink_to(cls.work)
        subprocess.run([sys.executable, str(SERVICE), "start", "--state", str(cls.state),
                        "--tree", str(cls.tree), "--ca", str(cls.work / "ca"), "--port", "0",
                        "--idle-exit", "120"], check=True, stdout=subprocess.DEVNULL)
        cls.port = int((cls.state / "port").read_text())
        cls.tls = ssl.create_default_context(cafile=str(cls.work / "ca" / "ca.pem"))

    @classmethod
    def tearDownClass(cls):
        subprocess.run([sys.executable, str(SERVICE), "stop", "--state", str(cls.state)],
                       check=True)
        shutil.rmtree(cls.work, ignore_errors=True)

    def request(self, method, path, body=None, headers=None):
        connection = http.client.HTTPSConnection("localhost", self.port, context=self.tls,
                                                 timeout=30)
        connection.request(method, path, body=body, headers=headers or {})
        response = connection.getresponse()
        data = response.read()
        connection.close()
        return response, data

    def rpc(self, path, member_object, content_type="application/json"):
        body = member_object if isinstance(member_object, bytes) else json.dumps(member_object)
        return self.request("POST", path, body, {"Content-Type": content_type})

    def test_answers_from_the_published_tree(self):
        response, data = self.rpc(CHECK_UPDATE, GOOD_CHECK)
        self.assertEqual((response.status, data), (200, b'{"status":"up_to_date"}'))
        self.assertEqual(response.getheader("Content-Type"), "application/json")
        response, data = self.rpc(GET_PACKAGE, {"package_id": "full-2"})
        self.assertEqual((response.status, data), (200, b'{"package":"full-2"}'))
        response, data = self.request("GET", "/files/pkg/sub/a%20b.txt")
        self.assertEqual((response.status, data), (200, b"file body"))

    def test_refuses_requests_the_launcher_would_not_send(self):
        reordered = dict(reversed(list(GOOD_CHECK.items())))
        cases = [
            (CHECK_UPDATE, GOOD_CHECK, "text/plain", 415),
            (CHECK_UPDATE, b"{not json", "application/json", 400),
            (CHECK_UPDATE, reordered, "application/json", 400),
            (CHECK_UPDATE, dict(GOOD_CHECK, extra=1), "application/json", 400),
            (CHECK_UPDATE, dict(GOOD_CHECK, protocol_version=2), "application/json", 400),
            (CHECK_UPDATE, dict(GOOD_CHECK, current_build=-1), "application/json", 400),
            (CHECK_UPDATE, dict(GOOD_CHECK, current_build=True), "application/json", 400),
            (CHECK_UPDATE, dict(GOOD_CHECK, platform="linux"), "application/json", 400),
            (GET_PACKAGE, {"package_id": 7}, "application/json", 400),
            (GET_PACKAGE, {"package_id": "full-2", "x": 1}, "application/json", 400),
            (GET_PACKAGE, {"package_id": "missing"}, "application/json", 404),
            (GET_PACKAGE, {"package_id": "../check-update"}, "application/json", 404),
            (GET_PACKAGE, {"package_id": ".hidden"}, "application/json", 404),
            (GET_PACKAGE, {"package_id": "x" * 129}, "application/json", 404),
        ]
        for path, body, content_type, status in cases:
            with self.subTest(path=path, body=body, content_type=content_type):
                response, _ = self.rpc(path, body, content_type)
                self.assertEqual(response.status, status)
        response, _ = self.request("GET", CHECK_UPDATE)
        self.assertEqual(response.status, 404)

    def test_files_stay_inside_the_tree(self):
        for path in ["/files/../secret.txt", "/files/%2e%2e/secret.txt", "/files/pkg/../../secret.txt",
                     "/files/escape/secret.txt", "/files/pkg//sub/a%20b.txt", "/files/pkg/sub",
                     "/files/pkg%5csub%5ca%20b.txt", "/files/", "/check-update.json"]:
            with self.subTest(path=path):
                response, data = self.request("GET", path)
                self.assertEqual(response.status, 404)
                self.assertNotIn(b"outside", data)

    def test_scenarios_change_the_answer(self):
        response, data = self.request("GET", "/_scenario/body=300/x")
        self.assertEqual(data, bytes(i % 251 for i in range(300)))
        response, data = self.request("GET", "/_scenario/encoding=gzip/files/pkg/sub/a%20b.txt")
        self.assertEqual(response.getheader("Content-Encoding"), "gzip")
        self.assertEqual(gzip.decompress(data), b"file body")
        response, _ = self.request("POST", "/_scenario/status=302,probe=p1" + CHECK_UPDATE, b"{}")
        self.assertEqual(response.status, 302)
        self.assertEqual(response.getheader("Location"), f"https://localhost:{self.port}/_probe/p1")
        log = (self.state / "requests.log").read_text()
        self.assertIn("POST /_scenario/status=302,probe=p1" + CHECK_UPDATE, log)
        self.assertNotIn("/_probe/p1", log.replace("probe=p1", ""))

    def test_control_files_switch_tree_and_scenario(self):
        other = self.work / "other-tree"
        other.mkdir(exist_ok=True)
        (other / "check-update.json").write_bytes(b'{"status":"update_required"}')
        try:
            (self.state / "tree").write_text("Z:" + str(other).replace("/", "\\"))
            _, data = self.rpc(CHECK_UPDATE, GOOD_CHECK)
            self.assertEqual(data, b'{"status":"update_required"}')
            (self.state / "scenario").write_text("status=503")
            response, _ = self.rpc(CHECK_UPDATE, GOOD_CHECK)
            self.assertEqual(response.status, 503)
        finally:
            (self.state / "tree").unlink(missing_ok=True)
            (self.state / "scenario").unlink(missing_ok=True)
        _, data = self.rpc(CHECK_UPDATE, GOOD_CHECK)
        self.assertEqual(data, b'{"status":"up_to_date"}')

    def test_tls_1_2_only_and_revocation_list_served(self):
        newer = ssl.create_default_context(cafile=str(self.work / "ca" / "ca.pem"))
        newer.minimum_version = ssl.TLSVersion.TLSv1_3
        connection = http.client.HTTPSConnection("localhost", self.port, context=newer, timeout=30)
        with self.assertRaises(ssl.SSLError):
            connection.request("GET", "/_probe/tls13")
        connection.close()
        crl_url = subprocess.run(
            ["openssl", "x509", "-noout", "-ext", "crlDistributionPoints", "-in",
             str(self.state / "tls" / "server.pem")], check=True, capture_output=True,
            text=True).stdout.split("URI:")[1].strip()
        crl = subprocess.run(["curl", "-sS", "--fail", crl_url], check=True,
                             capture_output=True).stdout
        revoked = subprocess.run(["openssl", "x509", "-noout", "-serial", "-in",
                                  str(self.state / "tls" / "revoked.pem")], check=True,
                                 capture_output=True, text=True).stdout.split("=")[1].strip()
        listing = subprocess.run(["openssl", "crl", "-inform", "DER", "-noout", "-text"],
                                 input=crl, check=True, capture_output=True).stdout.decode()
        self.assertIn(revoked.upper(), listing.replace(":", "").upper())


if __name__ == "__main__":
    unittest.main()
