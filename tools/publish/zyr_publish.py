"""Release publishing for the update service.

Builds signed release and package manifests from folders of game files, packs full and
delta packages (one zip archive or one download per file), and writes the published tree
that the update service serves:

    <tree>/check-update.json          answer to check-update
    <tree>/packages/<package_id>.json answer to get-package for that package id
    <tree>/files/...                  served for GET /files/...

The functions here are also used to make deliberately broken packages for tests; see
zyr_tamper.py.
"""

import base64
import hashlib
import json
import os
import zipfile

from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric import ed25519

DEFAULT_KEY_ID = "client-release-key-1"
DEFAULT_BASE_URL = "https://localhost:25556"
DELTA_ALGORITHMS = ("zip-v1", "replace-v1", "file-replace-v1")


# ---------------------------------------------------------------------------- encodings


def b64url(data: bytes) -> str:
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode("ascii")


def sha256_hex(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest()


def canonical_json(value) -> bytes:
    """Compact UTF-8 JSON, the form in which manifests are signed."""
    return json.dumps(value, ensure_ascii=False, separators=(",", ":")).encode("utf-8")


def fold(path: str) -> str:
    # The launcher folds with invariant upper-casing; str.upper agrees for every name a
    # release would reasonably use.
    return path.upper()


# ---------------------------------------------------------------------------- keys


def generate_key(private_path: str, public_hex_path: str) -> str:
    key = ed25519.Ed25519PrivateKey.generate()
    pem = key.private_bytes(
        serialization.Encoding.PEM,
        serialization.PrivateFormat.PKCS8,
        serialization.NoEncryption(),
    )
    public_hex = public_key_hex(key)
    fd = os.open(private_path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    with os.fdopen(fd, "wb") as out:
        out.write(pem)
    with open(public_hex_path, "w", encoding="ascii") as out:
        out.write(public_hex + "\n")
    return public_hex


def load_key(private_path: str) -> ed25519.Ed25519PrivateKey:
    with open(private_path, "rb") as source:
        key = serialization.load_pem_private_key(source.read(), password=None)
    if not isinstance(key, ed25519.Ed25519PrivateKey):
        raise ValueError(f"{private_path} is not an Ed25519 private key")
    return key


def public_key_hex(key: ed25519.Ed25519PrivateKey) -> str:
    raw = key.public_key().public_bytes(serialization.Encoding.Raw, serialization.PublicFormat.Raw)
    return raw.hex()


def signature_object(key, data: bytes, key_id: str = DEFAULT_KEY_ID) -> dict:
    return {"algorithm": "Ed25519", "key_id": key_id, "value": b64url(key.sign(data))}


# ---------------------------------------------------------------------------- releases


def scan_folder(folder: str) -> list:
    """Every regular file below `folder` as (update path, absolute path), sorted by path.

    Links are refused: a release is made of plain files only."""
    found = []
    for root, dirs, files in os.walk(folder, followlinks=False):
        for name in dirs + files:
            full = os.path.join(root, name)
            if os.path.islink(full):
                raise ValueError(f"{full} is a symbolic link; releases hold plain files only")
        for name in files:
            full = os.path.join(root, name)
            relative = os.path.relpath(full, folder).replace(os.sep, "/")
            found.append((relative, full))
    found.sort(key=lambda item: item[0].encode("utf-8"))
    return found


def file_digest(path: str):
    digest = hashlib.sha256()
    size = 0
    with open(path, "rb") as source:
        while True:
            block = source.read(1 << 20)
            if not block:
                break
            size += len(block)
            digest.update(block)
    return size, digest.hexdigest()


def release_manifest(release_id: str, version: str, build: int, files: list) -> dict:
    return {
        "manifest_version": 1,
        "platform": "windows",
        "architecture": "x86_64",
        "channel": "stable",
        "release_id": release_id,
        "version": version,
        "build": build,
        "files": files,
    }


def full_package_manifest(package_id: str, release: dict, files: list, **extra) -> dict:
    """The manifest of a full package of `release` (a release manifest dict)."""
    return dict({
        "manifest_version": 1,
        "package_id": package_id,
        "type": "full",
        "target_release_id": release["release_id"],
        "target_build": release["build"],
        "target_manifest_sha256": sha256_hex(canonical_json(release)),
        "files": files,
    }, **extra)


class Release:
    """A release: its identity and, for every file, size, digest and where it lies."""

    def __init__(self, folder: str, release_id: str, version: str, build: int):
        self.folder = folder
        self.release_id = release_id
        self.version = version
        self.build = build
        self.files = []  # dicts: path, size_bytes, sha256, source
        for path, full in scan_folder(folder):
            size, digest = file_digest(full)
            self.files.append({"path": path, "size_bytes": size, "sha256": digest, "source": full})

    def manifest(self) -> dict:
        return release_manifest(self.release_id, self.version, self.build, [
            {"path": f["path"], "size_bytes": f["size_bytes"], "sha256": f["sha256"]}
            for f in self.files])

    def by_folded_path(self) -> dict:
        return {fold(f["path"]): f for f in self.files}


# ---------------------------------------------------------------------------- packages


class PackagePlan:
    """What a package brings: the target release, its type and its file entries.

    `entries` are dicts with "path", "operation" and, unless "delete", "size_bytes",
    "sha256" and "source" (the file to publish)."""

    def __init__(self, package_id: str, target: Release, base: Release = None,
                 patch_algorithm: str = ""):
        self.package_id = package_id
        self.target = target
        self.base = base
        self.patch_algorithm = patch_algorithm
        self.entries = []
        if base is None:
            self.type = "full"
            for f in target.files:
                self.entries.append(dict(f, operation="replace"))
        else:
            if base.build >= target.build:
                raise ValueError("the base release of a delta must be older than its target")
            if patch_algorithm not in DELTA_ALGORITHMS:
                raise ValueError(f"patch algorithm must be one of {DELTA_ALGORITHMS}")
            self.type = "delta"
            old = base.by_folded_path()
            new = target.by_folded_path()
            for f in target.files:
                before = old.get(fold(f["path"]))
                unchanged = (before is not None and before["path"] == f["path"]
                             and before["size_bytes"] == f["size_bytes"]
                             and before["sha256"] == f["sha256"])
                if not unchanged:
                    self.entries.append(dict(f, operation="replace"))
            for f in base.files:
                if fold(f["path"]) not in new:
                    self.entries.append({"path": f["path"], "operation": "delete"})


def package_url(base_url: str, package_id: str, relative: str) -> str:
    from urllib.parse import quote
    return f"{base_url}/files/{quote(package_id)}/{quote(relative)}"


def build_package(plan: PackagePlan, tree: str, key, *, archive: bool,
                  base_url: str = DEFAULT_BASE_URL, key_id: str = DEFAULT_KEY_ID,
                  headers: dict = None) -> dict:
    """Publishes the files of `plan` below <tree>/files/<package_id>/ and returns the
    signed get-package document (not yet written)."""
    files_dir = os.path.join(tree, "files", plan.package_id)
    os.makedirs(files_dir, exist_ok=True)
    download_extra = {"headers": dict(headers)} if headers else {}

    manifest_files = []
    for entry in plan.entries:
        item = {"path": entry["path"], "operation": entry["operation"]}
        if entry["operation"] != "delete":
            item["size_bytes"] = entry["size_bytes"]
            item["sha256"] = entry["sha256"]
            if not archive:
                destination = os.path.join(files_dir, "f", *entry["path"].split("/"))
                os.makedirs(os.path.dirname(destination), exist_ok=True)
                copy_file(entry["source"], destination)
                item["download"] = dict(method="GET", **download_extra,
                                        url=package_url(base_url, plan.package_id,
                                                        "f/" + entry["path"]))
        manifest_files.append(item)

    target_manifest = canonical_json(plan.target.manifest())
    package_manifest = {
        "manifest_version": 1,
        "package_id": plan.package_id,
        "type": plan.type,
        "target_release_id": plan.target.release_id,
        "target_build": plan.target.build,
        "target_manifest_sha256": sha256_hex(target_manifest),
        "files": manifest_files,
    }
    if plan.type == "delta":
        package_manifest["base_release_id"] = plan.base.release_id
        package_manifest["base_build"] = plan.base.build
        package_manifest["patch_algorithm"] = plan.patch_algorithm
    if archive:
        archive_path = os.path.join(files_dir, "package.zip")
        write_archive(archive_path, [(e["path"], e["source"]) for e in plan.entries
                                     if e["operation"] != "delete"])
        size, digest = file_digest(archive_path)
        package_manifest["archive"] = {
            "format": "zip-v1",
            "download": dict(method="GET", **download_extra,
                             url=package_url(base_url, plan.package_id, "package.zip")),
            "size_bytes": size,
            "sha256": digest,
        }
    return sign_document(plan.package_id, package_manifest, target_manifest, key, key_id)


def sign_document(package_id: str, package_manifest, target_manifest: bytes, key,
                  key_id: str = DEFAULT_KEY_ID) -> dict:
    """The get-package document for manifests given as dicts or as exact bytes."""
    if not isinstance(package_manifest, bytes):
        package_manifest = canonical_json(package_manifest)
    if not isinstance(target_manifest, bytes):
        target_manifest = canonical_json(target_manifest)
    return {
        "package_id": package_id,
        "manifest_base64url": b64url(package_manifest),
        "manifest_sha256": sha256_hex(package_manifest),
        "signature": signature_object(key, package_manifest, key_id),
        "target_release_manifest_base64url": b64url(target_manifest),
        "target_release_manifest_sha256": sha256_hex(target_manifest),
        "target_release_signature": signature_object(key, target_manifest, key_id),
    }


def copy_file(source: str, destination: str):
    with open(source, "rb") as src, open(destination, "wb") as dst:
        while True:
            block = src.read(1 << 20)
            if not block:
                break
            dst.write(block)


def write_archive(path: str, members, compression=zipfile.ZIP_DEFLATED):
    """A zip archive with one entry per (update path, source file), in the given order."""
    with zipfile.ZipFile(path, "w", compression=compression, allowZip64=True) as archive:
        for name, source in members:
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = compression
            info.external_attr = 0o100644 << 16
            large = os.path.getsize(source) >= 0x7FFFFFFF
            with open(source, "rb") as src, archive.open(info, "w", force_zip64=large) as dst:
                while True:
                    block = src.read(1 << 20)
                    if not block:
                        break
                    dst.write(block)


# ---------------------------------------------------------------------------- the tree


def write_json_file(path: str, value):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    data = value if isinstance(value, bytes) else canonical_json(value)
    with open(path, "wb") as out:
        out.write(data)


def write_package(tree: str, package_id: str, document):
    write_json_file(os.path.join(tree, "packages", package_id + ".json"), document)


def write_check_update(tree: str, status: str, target: Release = None, package_id: str = "",
                       fallback_package_id: str = ""):
    answer = {"status": status}
    if status in ("update_available", "update_required"):
        answer["target_release_id"] = target.release_id
        answer["target_build"] = target.build
        answer["update_plan"] = {"package_id": package_id}
        answer["fallback_package_id"] = fallback_package_id
    write_json_file(os.path.join(tree, "check-update.json"), answer)
