"""Deliberately broken packages, for testing the launcher's refusals.

Two kinds:
- document variants: a get-package document whose manifests, digests or signatures have
  been changed after (or before) signing;
- hostile archives: a correctly signed package whose zip archive holds entries the launcher
  must refuse (traversal, absolute, case duplicates, links, encryption, unknown methods,
  too many entries and so on).
"""

import copy
import io
import os
import struct
import zipfile

from cryptography.hazmat.primitives.asymmetric import ed25519

import zyr_publish as zp


# ---------------------------------------------------------------------------- documents


class Manifests:
    """The two manifests of a package as editable dicts, signed on demand."""

    def __init__(self, package_manifest: dict, release_manifest: dict, package_id: str):
        self.package = copy.deepcopy(package_manifest)
        self.release = copy.deepcopy(release_manifest)
        self.package_id = package_id

    def release_bytes(self) -> bytes:
        return zp.canonical_json(self.release)

    def resync_target(self):
        """Makes the package name the (edited) release again."""
        self.package["target_release_id"] = self.release["release_id"]
        self.package["target_build"] = self.release["build"]
        self.package["target_manifest_sha256"] = zp.sha256_hex(self.release_bytes())

    def document(self, key) -> dict:
        return zp.sign_document(self.package_id, self.package, self.release_bytes(), key)


def flip_byte(data: bytes, index: int) -> bytes:
    changed = bytearray(data)
    changed[index] ^= 0x01
    return bytes(changed)


def resigned_blob(document: dict, blob: str, digest: str, data: bytes) -> dict:
    """Replaces a manifest's bytes and digest but keeps the old signature."""
    result = dict(document)
    result[blob] = zp.b64url(data)
    result[digest] = zp.sha256_hex(data)
    return result


def document_variants(base: Manifests, key) -> dict:
    """name -> get-package document (dict) for the refusals of manifest verification.

    `base` must be a full package with per-file downloads and at least three files."""
    variants = {}

    def edited(edit, resync=True):
        m = copy.deepcopy(base)
        edit(m)
        if resync:
            m.resync_target()
        return m.document(key)

    # Signatures.
    good = base.document(key)
    doc = copy.deepcopy(good)
    doc["signature"]["key_id"] = "client-release-key-2"
    variants["unknown_key_id"] = doc
    doc = copy.deepcopy(good)
    doc["target_release_signature"]["algorithm"] = "ed25519"
    variants["algorithm_lower_case"] = doc
    release_bytes = base.release_bytes()
    variants["release_byte_flipped"] = resigned_blob(
        good, "target_release_manifest_base64url", "target_release_manifest_sha256",
        flip_byte(release_bytes, len(release_bytes) // 2))
    doc = copy.deepcopy(good)
    doc["manifest_sha256"] = zp.sha256_hex(b"something else")
    variants["manifest_digest_wrong"] = doc
    other = ed25519.Ed25519PrivateKey.generate()
    doc = copy.deepcopy(good)
    doc["signature"] = zp.signature_object(other, zp.canonical_json(base.package))
    variants["signed_by_other_key"] = doc
    doc = copy.deepcopy(good)
    doc["signature"]["value"] = doc["signature"]["value"][:-3]
    variants["signature_truncated"] = doc

    # Package against document and target release.
    doc = copy.deepcopy(good)
    doc["package_id"] = base.package_id + "-other"
    variants["package_id_differs"] = doc
    variants["target_release_id_differs"] = edited(
        lambda m: m.package.update(target_release_id="another"), resync=False)
    variants["target_build_differs"] = edited(
        lambda m: m.package.update(target_build=m.release["build"] + 1), resync=False)
    variants["target_manifest_digest_differs"] = edited(
        lambda m: m.package.update(target_manifest_sha256=zp.sha256_hex(b"x")), resync=False)
    variants["package_manifest_version_2"] = edited(
        lambda m: m.package.update(manifest_version=2))

    # Release manifest.
    variants["release_channel_beta"] = edited(lambda m: m.release.update(channel="beta"))
    variants["release_version_2_bad_platform"] = edited(
        lambda m: m.release.update(manifest_version=2, platform=7))
    variants["release_build_0"] = edited(lambda m: m.release.update(build=0))

    def case_duplicate(m):
        first = m.release["files"][0]
        m.release["files"].append(dict(first, path=first["path"].swapcase()))
    variants["release_case_duplicate"] = edited(case_duplicate)

    def file_as_directory(m):
        first = m.release["files"][0]
        m.release["files"].append(dict(first, path=first["path"] + "/inner"))
    variants["release_file_as_directory"] = edited(file_as_directory)

    def traversal(m):
        m.release["files"][0]["path"] = "../outside.txt"
        m.package["files"][0]["path"] = "../outside.txt"
    variants["path_traversal"] = edited(traversal)

    # Package file list against the release.
    variants["full_missing_file"] = edited(lambda m: m.package["files"].pop())
    variants["replace_digest_differs"] = edited(
        lambda m: m.package["files"][0].update(sha256=zp.sha256_hex(b"other")))
    variants["replace_spelling_differs"] = edited(
        lambda m: m.package["files"][0].update(path=m.package["files"][0]["path"].swapcase()))
    variants["type_unknown"] = edited(lambda m: m.package.update(type="partial"))
    variants["full_with_base_build"] = edited(lambda m: m.package.update(base_build=1))
    variants["operation_patch_in_full"] = edited(
        lambda m: m.package["files"][0].update(operation="patch"))
    variants["download_http"] = edited(lambda m: m.package["files"][0]["download"].update(
        url=m.package["files"][0]["download"]["url"].replace("https://", "http://")))
    variants["download_scheme_upper_case"] = edited(lambda m: m.package["files"][0][
        "download"].update(url=m.package["files"][0]["download"]["url"].replace(
            "https://", "HTTPS://")))
    variants["download_method_post"] = edited(
        lambda m: m.package["files"][0]["download"].update(method="POST"))
    variants["download_missing"] = edited(lambda m: m.package["files"][0].pop("download"))
    variants["download_header_not_string"] = edited(
        lambda m: m.package["files"][0]["download"].update(headers={"X-Token": 5}))
    variants["archive_format_unknown"] = edited(lambda m: m.package.update(archive={
        "format": "zip-v2", "download": {"method": "GET", "url": "https://localhost/a.zip"},
        "size_bytes": 10, "sha256": zp.sha256_hex(b"")}))
    variants["archive_size_over_4_gib"] = edited(lambda m: m.package.update(archive={
        "format": "zip-v1", "download": {"method": "GET", "url": "https://localhost/a.zip"},
        "size_bytes": 4294967297, "sha256": zp.sha256_hex(b"")}))
    variants["file_over_8_gib"] = edited(lambda m: (
        m.release["files"][0].update(size_bytes=8589934593),
        m.package["files"][0].update(size_bytes=8589934593)))

    # Delta rules.
    def delta(m, **changes):
        m.package.update(type="delta", base_release_id="base", base_build=1,
                         patch_algorithm="file-replace-v1")
        m.package.update(changes)
    variants["delta_base_build_is_target"] = edited(
        lambda m: delta(m, base_build=m.release["build"]))
    variants["delta_base_release_id_empty"] = edited(lambda m: delta(m, base_release_id=""))

    def delete_with_size(size):
        def edit(m):
            delta(m)
            m.package["files"].append({"path": "removed.txt", "operation": "delete",
                                       "size_bytes": size})
        return edit
    variants["delta_delete_size_1"] = edited(delete_with_size(1))

    def delete_of_target_file(m):
        delta(m)
        first = m.package["files"].pop(0)
        m.package["files"].append({"path": first["path"], "operation": "delete"})
    variants["delta_delete_of_target_file"] = edited(delete_of_target_file)
    return variants


# ---------------------------------------------------------------------------- archives


def zip_bytes(entries) -> bytes:
    """A zip archive from (ZipInfo or name, data) pairs, stored uncompressed."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", compression=zipfile.ZIP_STORED) as archive:
        for info, data in entries:
            if isinstance(info, str):
                info = zipfile.ZipInfo(info, date_time=(2024, 1, 1, 0, 0, 0))
                info.external_attr = 0o100644 << 16
            archive.writestr(info, data)
    return buffer.getvalue()


def set_entry_fields(archive: bytes, name: bytes, *, method=None, flags=None) -> bytes:
    """Rewrites the method or the general-purpose flags of the entry `name` in both its local
    header and its central directory record."""
    data = bytearray(archive)
    for signature, flags_at, method_at, name_length_at, header_size in (
            (b"PK\x03\x04", 6, 8, 26, 30), (b"PK\x01\x02", 8, 10, 28, 46)):
        start = 0
        while True:
            at = data.find(signature, start)
            if at < 0:
                break
            length = struct.unpack_from("<H", data, at + name_length_at)[0]
            if bytes(data[at + header_size:at + header_size + length]) == name:
                if method is not None:
                    struct.pack_into("<H", data, at + method_at, method)
                if flags is not None:
                    struct.pack_into("<H", data, at + flags_at, flags)
            start = at + 4
    return bytes(data)


def info_with(name: str, external_attr: int, create_system: int = 3) -> zipfile.ZipInfo:
    info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
    info.external_attr = external_attr
    info.create_system = create_system
    return info


def hostile_archives(files: dict) -> dict:
    """name -> (archive bytes, package entries) for the refusals of archive extraction.

    `files` maps update path -> content of a small valid release; the package entries list
    those files as "replace" unless the case says otherwise."""
    listed = dict(files)
    plain = list(listed.items())
    first_name, first_data = plain[0]
    cases = {}

    def case(name, entries, package_files=None):
        cases[name] = (zip_bytes(entries), package_files if package_files is not None else listed)

    case("valid", plain)
    case("valid_with_directories", [("d/", b"")] + plain)
    case("traversal", plain + [("../evil.txt", b"x")], dict(listed, **{"../evil.txt": b"x"}))
    case("absolute", plain + [("/abs.txt", b"x")])
    case("backslash", plain + [("data\\x.txt", b"x")])
    case("case_duplicate", plain + [(first_name.swapcase(), first_data)])
    case("not_listed", plain + [("extra.txt", b"x")])
    case("missing_listed_file", plain[1:])
    case("size_differs", [(first_name, first_data + b"!")] + plain[1:])
    case("symbolic_link", [(info_with(first_name, 0o120777 << 16), first_data)] + plain[1:])
    case("reparse_point", [(info_with(first_name, 0x400, create_system=0), first_data)]
         + plain[1:])

    encrypted = zip_bytes(plain)
    cases["encrypted"] = (set_entry_fields(encrypted, first_name.encode(), flags=0x1), listed)
    unsupported = zip_bytes(plain)
    cases["unsupported_method"] = (set_entry_fields(unsupported, first_name.encode(), method=97),
                                   listed)
    corrupted = bytearray(zip_bytes(plain))
    at = corrupted.find(first_data)
    corrupted[at] ^= 0x01
    cases["corrupted_data"] = (bytes(corrupted), listed)
    return cases


def many_entries_archive(files: dict, total_entries: int) -> bytes:
    """A valid archive with `total_entries` entries: the files and enough directory entries."""
    entries = list(files.items())
    for index in range(total_entries - len(entries)):
        entries.append((f"dir{index:05d}/", b""))
    return zip_bytes(entries)


def write_file(path: str, data: bytes):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)
