#!/usr/bin/python3
"""Publishes a 1 GiB release of 2,000 files as a full archive package (dev key).

  make_package.py WORK   -> WORK/tree/packages/bench-extract.json, WORK/tree/files/.../package.zip
"""
import os
import sys

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tools", "publish"))
import zyr_publish as zp  # noqa: E402

work = sys.argv[1]
release_dir = os.path.join(work, "release")
count, total = 2000, 1 << 30
size = total // count
if not os.path.isdir(release_dir):
    # Half random, half repetitive text: compresses about 2:1 like a mix of game assets.
    text = (b"asset data line with some repetition 0123456789\n" * 64)[:2048]
    for index in range(count):
        path = os.path.join(release_dir, "data", f"pack{index // 100:02d}", f"asset_{index:04d}.bin")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            written = 0
            while written < size:
                chunk = (os.urandom(2048) + text)[:size - written]
                out.write(chunk)
                written += len(chunk)
release = zp.Release(release_dir, "bench", "1.0", 9)
plan = zp.PackagePlan("bench-extract", release)
document = zp.build_package(plan, os.path.join(work, "tree"), zp.load_key(
    os.path.join(REPO, "keys", "dev-release-signing.pem")), archive=True)
zp.write_package(os.path.join(work, "tree"), "bench-extract", document)
