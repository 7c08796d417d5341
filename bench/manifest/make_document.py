#!/usr/bin/python3
"""Writes a signed full package of 20,000 files (dev key) for the manifest benchmark."""
import os
import sys

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tools", "publish"))
import zyr_publish as zp  # noqa: E402

count = 20000
files = [{"path": f"data/pack{i // 500:02d}/asset_{i:05d}.bin", "size_bytes": 1000 + i,
          "sha256": zp.sha256_hex(str(i).encode())} for i in range(count)]
release = zp.release_manifest("bench", "1.0", 7, files)
package = zp.full_package_manifest("bench-full", release, [
    dict(f, download={"method": "GET", "url": zp.package_url(
        zp.DEFAULT_BASE_URL, "bench-full", "f/" + f["path"])}) for f in files])
key = zp.load_key(os.path.join(REPO, "keys", "dev-release-signing.pem"))
zp.write_json_file(sys.argv[1], zp.sign_document("bench-full", package, release, key))
