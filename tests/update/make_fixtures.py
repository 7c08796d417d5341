#!/usr/bin/python3
"""Publishes the releases, packages and broken variants the update tests work with.

  make_fixtures.py OUT

OUT/releases/r1, OUT/releases/r2   installed file sets of build 1 and build 2
OUT/tree                           published tree (check-update, packages, files) with
                                   full-2 (archive), full-2-files, delta-1-2 (archive, zip-v1),
                                   delta-1-2-files (file-replace-v1), zip-<case> (hostile
                                   archives, correctly signed)
OUT/variants/<name>.json           get-package documents that must be refused
OUT/accepted/<name>.json           borderline documents that must be accepted
"""

import hashlib
import json
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tools", "publish"))
import zyr_publish as zp  # noqa: E402
import zyr_tamper as zt  # noqa: E402


def pseudo_random(seed: str, size: int) -> bytes:
    out = bytearray()
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(f"{seed}:{counter}".encode()).digest()
        counter += 1
    return bytes(out[:size])


RELEASE_1 = {
    "ZYR_ENGINE.exe": b"launcher build 1\n",
    "ZYR_Shell.exe": b"client build 1\n",
    "data/common.pak": pseudo_random("common", 600_000),
    "data/changed.bin": b"old content",
    "data/old.txt": b"removed in build 2",
}
RELEASE_2 = {
    "ZYR_ENGINE.exe": b"launcher build 1\n",
    "ZYR_Shell.exe": b"client build 2\n",
    "data/common.pak": RELEASE_1["data/common.pak"],
    "data/changed.bin": pseudo_random("changed", 300_000),
    "data/new/\u00e9t\u00e9 file.txt": b"added in build 2",
    "empty.cfg": b"",
}


def write_release(folder: str, files: dict):
    for path, data in files.items():
        zt.write_file(os.path.join(folder, *path.split("/")), data)


def write_json(path: str, value):
    zt.write_file(path, zp.canonical_json(value))


def decoded(document: dict, member: str) -> dict:
    text = document[member]
    import base64
    return json.loads(base64.urlsafe_b64decode(text + "=" * (-len(text) % 4)))


def many_files_document(key, count: int) -> dict:
    files = [{"path": f"f/{i:05d}", "size_bytes": 1, "sha256": zp.sha256_hex(b"x")}
             for i in range(count)]
    release = zp.release_manifest("many", "", 3, files)
    package = zp.full_package_manifest("many", release, [
        dict(f, download={"method": "GET", "url": "https://localhost/x"}) for f in files])
    return zp.sign_document("many", package, release, key)


def main():
    out = os.path.abspath(sys.argv[1])
    shutil.rmtree(out, ignore_errors=True)
    key = zp.load_key(os.path.join(REPO, "keys", "dev-release-signing.pem"))
    r1_dir = os.path.join(out, "releases", "r1")
    r2_dir = os.path.join(out, "releases", "r2")
    write_release(r1_dir, RELEASE_1)
    write_release(r2_dir, RELEASE_2)
    r1 = zp.Release(r1_dir, "r1", "1.0", 1)
    r2 = zp.Release(r2_dir, "r2", "2.0", 2)

    tree = os.path.join(out, "tree")
    documents = {}
    for package_id, plan, archive in (
            ("full-1", zp.PackagePlan("full-1", r1), False),
            ("full-2", zp.PackagePlan("full-2", r2), True),
            ("full-2-files", zp.PackagePlan("full-2-files", r2), False),
            ("delta-1-2", zp.PackagePlan("delta-1-2", r2, r1, "zip-v1"), True),
            ("delta-1-2-files", zp.PackagePlan("delta-1-2-files", r2, r1, "file-replace-v1"),
             False)):
        documents[package_id] = zp.build_package(plan, tree, key, archive=archive)
        zp.write_package(tree, package_id, documents[package_id])
    zp.write_check_update(tree, "update_available", r2, "delta-1-2", "full-2")

    # Refused and borderline documents, derived from the per-file full package.
    files_doc = documents["full-2-files"]
    base = zt.Manifests(decoded(files_doc, "manifest_base64url"),
                        decoded(files_doc, "target_release_manifest_base64url"), "full-2-files")
    for name, document in zt.document_variants(base, key).items():
        write_json(os.path.join(out, "variants", name + ".json"), document)
    write_json(os.path.join(out, "variants", "files_20001.json"), many_files_document(key, 20001))
    write_json(os.path.join(out, "accepted", "files_20000.json"), many_files_document(key, 20000))

    def accepted(name, edit):
        m = zt.Manifests(base.package, base.release, base.package_id)
        edit(m)
        m.resync_target()
        write_json(os.path.join(out, "accepted", name + ".json"), m.document(key))

    def delta_edit(m):
        m.package.update(type="delta", base_release_id="r1", base_build=1,
                         patch_algorithm="replace-v1", files=[
                             {"path": "gone.txt", "operation": "delete", "size_bytes": 0}])
    accepted("delta_empty_but_delete", delta_edit)
    accepted("delta_no_files", lambda m: m.package.update(
        type="delta", base_release_id="r1", base_build=1, patch_algorithm="zip-v1", files=[]))
    accepted("archive_size_4_gib", lambda m: m.package.update(archive={
        "format": "zip-v1", "download": {"method": "GET", "url": "https://localhost/a.zip",
                                         "headers": {"X-Token": "t"}},
        "size_bytes": 4294967296, "sha256": zp.sha256_hex(b"")}))

    # Hostile archives inside correctly signed full packages of a small release.
    small = {"ZYR_ENGINE.exe": b"launcher", "ZYR_Shell.exe": b"client",
             "data/a.txt": b"alpha " * 100}
    small_dir = os.path.join(out, "releases", "small")
    write_release(small_dir, small)
    cases = zt.hostile_archives(small)
    cases["entries_40001"] = (zt.many_entries_archive(small, 40001), small)
    cases["entries_40002"] = (zt.many_entries_archive(small, 40002), small)
    cases["digest_wrong"] = cases["valid"]
    for case, (archive, listed) in cases.items():
        package_id = "zip-" + case.replace("_", "-")
        archive_path = os.path.join(tree, "files", package_id, "package.zip")
        zt.write_file(archive_path, archive)
        release = zp.release_manifest("small", "", 5, [
            {"path": p, "size_bytes": len(d), "sha256": zp.sha256_hex(d)}
            for p, d in small.items()])
        files = [{"path": p, "operation": "replace", "size_bytes": len(d),
                  "sha256": zp.sha256_hex(d)} for p, d in listed.items() if p in small]
        archive_digest = zp.sha256_hex(archive + b"x" * (case == "digest_wrong"))
        package = zp.full_package_manifest(package_id, release, files, archive={
            "format": "zip-v1",
            "download": {"method": "GET", "url": zp.package_url(
                zp.DEFAULT_BASE_URL, package_id, "package.zip")},
            "size_bytes": len(archive), "sha256": archive_digest})
        zp.write_package(tree, package_id, zp.sign_document(package_id, package, release, key))
    print(f"fixtures in {out}")


if __name__ == "__main__":
    main()
