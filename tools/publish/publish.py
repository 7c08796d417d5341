#!/usr/bin/python3
"""Publishes releases for the update service.

  publish.py keygen --private KEY.pem --public KEY.pub.hex
  publish.py manifest --release DIR --release-id ID --version V --build N [--out FILE]
  publish.py publish --tree TREE --key KEY.pem --target DIR --release-id ID --version V
                     --build N --full-package-id ID [--full-files]
                     [--base DIR --base-release-id ID --base-version V --base-build N
                      --delta-package-id ID --patch-algorithm ALG [--delta-files]]
                     [--status update_available|update_required|up_to_date|unsupported_newer]
                     [--base-url https://localhost:25556] [--key-id client-release-key-1]

`publish` writes <tree>/check-update.json, <tree>/packages/<id>.json and <tree>/files/...;
the answer to check-update proposes the delta package when there is one, the full package
as fallback. Run it with Debian's /usr/bin/python3 (python3-cryptography).
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zyr_publish as zp  # noqa: E402


def cmd_keygen(args):
    public_hex = zp.generate_key(args.private, args.public)
    print(public_hex)


def cmd_manifest(args):
    release = zp.Release(args.release, args.release_id, args.version, args.build)
    data = zp.canonical_json(release.manifest())
    if args.out:
        with open(args.out, "wb") as out:
            out.write(data)
    else:
        sys.stdout.buffer.write(data + b"\n")


def cmd_publish(args):
    key = zp.load_key(args.key)
    target = zp.Release(args.target, args.release_id, args.version, args.build)
    full = zp.PackagePlan(args.full_package_id, target)
    zp.write_package(args.tree, full.package_id,
                     zp.build_package(full, args.tree, key, archive=not args.full_files,
                                      base_url=args.base_url, key_id=args.key_id))
    proposed = full.package_id
    if args.base:
        for needed in ("base_release_id", "base_build", "delta_package_id"):
            if getattr(args, needed) in (None, ""):
                sys.exit(f"publish: --{needed.replace('_', '-')} is required with --base")
        base = zp.Release(args.base, args.base_release_id, args.base_version, args.base_build)
        delta = zp.PackagePlan(args.delta_package_id, target, base, args.patch_algorithm)
        zp.write_package(args.tree, delta.package_id,
                         zp.build_package(delta, args.tree, key, archive=not args.delta_files,
                                          base_url=args.base_url, key_id=args.key_id))
        proposed = delta.package_id
    zp.write_check_update(args.tree, args.status, target, proposed, full.package_id)
    print(f"published {target.release_id} build {target.build} into {args.tree}")


def main(argv=None):
    parser = argparse.ArgumentParser(description="Publishes releases for the update service.")
    commands = parser.add_subparsers(dest="command", required=True)

    keygen = commands.add_parser("keygen", help="make a new Ed25519 release-signing key pair")
    keygen.add_argument("--private", required=True, help="PEM file to create (never overwritten)")
    keygen.add_argument("--public", required=True, help="file for the public key in hex")
    keygen.set_defaults(run=cmd_keygen)

    manifest = commands.add_parser("manifest", help="print the release manifest of a folder")
    manifest.add_argument("--release", required=True)
    manifest.add_argument("--release-id", required=True)
    manifest.add_argument("--version", default="")
    manifest.add_argument("--build", type=int, required=True)
    manifest.add_argument("--out")
    manifest.set_defaults(run=cmd_manifest)

    publish = commands.add_parser("publish", help="write the published tree of a release")
    publish.add_argument("--tree", required=True)
    publish.add_argument("--key", required=True)
    publish.add_argument("--key-id", default=zp.DEFAULT_KEY_ID)
    publish.add_argument("--base-url", default=zp.DEFAULT_BASE_URL)
    publish.add_argument("--status", default="update_available",
                         choices=["update_available", "update_required", "up_to_date",
                                  "unsupported_newer"])
    publish.add_argument("--target", required=True)
    publish.add_argument("--release-id", required=True)
    publish.add_argument("--version", default="")
    publish.add_argument("--build", type=int, required=True)
    publish.add_argument("--full-package-id", required=True)
    publish.add_argument("--full-files", action="store_true",
                         help="one download per file instead of a zip archive")
    publish.add_argument("--base")
    publish.add_argument("--base-release-id")
    publish.add_argument("--base-version", default="")
    publish.add_argument("--base-build", type=int)
    publish.add_argument("--delta-package-id")
    publish.add_argument("--patch-algorithm", default="zip-v1", choices=zp.DELTA_ALGORITHMS)
    publish.add_argument("--delta-files", action="store_true")
    publish.set_defaults(run=cmd_publish)

    args = parser.parse_args(argv)
    args.run(args)


if __name__ == "__main__":
    main()
