"""The test certificate authority of the update service.

The authority is made once per Wine test prefix and trusted in that prefix's own Root store;
the server certificate is issued afresh whenever the service starts, because it names the
address of the revocation list, which changes with the port the list is served on.
"""

import datetime
import hashlib
import os
import pathlib

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

CA_CERT = "ca.pem"
CA_KEY = "ca.key"


def _now():
    return datetime.datetime.now(datetime.timezone.utc)


def _write_private(path, data):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(fd, "wb") as f:
        f.write(data)


def _key():
    return rsa.generate_private_key(public_exponent=65537, key_size=2048)


def _key_pem(key):
    return key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                             serialization.NoEncryption())


def ensure_ca(ca_dir):
    """Creates the authority in ca_dir unless it exists; returns (certificate, key)."""
    ca_dir = pathlib.Path(ca_dir)
    cert_path, key_path = ca_dir / CA_CERT, ca_dir / CA_KEY
    if not (cert_path.exists() and key_path.exists()):
        ca_dir.mkdir(parents=True, exist_ok=True)
        key = _key()
        name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "ZYR Update Service Test CA")])
        now = _now()
        cert = (x509.CertificateBuilder()
                .subject_name(name).issuer_name(name)
                .public_key(key.public_key())
                .serial_number(x509.random_serial_number())
                .not_valid_before(now - datetime.timedelta(days=1))
                .not_valid_after(now + datetime.timedelta(days=3650))
                .add_extension(x509.BasicConstraints(ca=True, path_length=0), critical=True)
                .add_extension(x509.KeyUsage(False, False, False, False, False, True, True, False,
                                             False), critical=True)
                .add_extension(x509.SubjectKeyIdentifier.from_public_key(key.public_key()),
                               critical=False)
                .sign(key, hashes.SHA256()))
        _write_private(key_path, _key_pem(key))
        cert_path.write_bytes(cert.public_bytes(serialization.Encoding.PEM))
    cert = x509.load_pem_x509_certificate(cert_path.read_bytes())
    key = serialization.load_pem_private_key(key_path.read_bytes(), password=None)
    return cert, key


def _issue_leaf(ca_cert, ca_key, crl_url, now):
    key = _key()
    aki = x509.AuthorityKeyIdentifier.from_issuer_public_key(ca_key.public_key())
    cert = (x509.CertificateBuilder()
            .subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "localhost")]))
            .issuer_name(ca_cert.subject)
            .public_key(key.public_key())
            .serial_number(x509.random_serial_number())
            .not_valid_before(now - datetime.timedelta(hours=1))
            .not_valid_after(now + datetime.timedelta(days=30))
            .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
            .add_extension(x509.KeyUsage(True, False, True, False, False, False, False, False,
                                         False), critical=True)
            .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]), critical=False)
            .add_extension(x509.SubjectAlternativeName([x509.DNSName("localhost")]), critical=False)
            .add_extension(x509.SubjectKeyIdentifier.from_public_key(key.public_key()),
                           critical=False)
            .add_extension(aki, critical=False)
            .add_extension(x509.CRLDistributionPoints([x509.DistributionPoint(
                full_name=[x509.UniformResourceIdentifier(crl_url)], relative_name=None,
                reasons=None, crl_issuer=None)]), critical=False)
            .sign(ca_key, hashes.SHA256()))
    return cert, key


def issue_server(ca_dir, out_dir, crl_url):
    """Issues two certificates for localhost whose revocation list is at crl_url, and that
    list, which revokes the second one.

    Writes server.pem and revoked.pem (certificate then authority), server.key and
    revoked.key, and test-ca.crl (DER) into out_dir; returns the paths of the certificate
    and key pairs, good one first, and of the list.
    """
    ca_cert, ca_key = ensure_ca(ca_dir)
    out_dir = pathlib.Path(out_dir)
    out_dir.mkdir(parents=True, exist_ok=True)
    now = _now()
    pairs = []
    for name in ("server", "revoked"):
        cert, key = _issue_leaf(ca_cert, ca_key, crl_url, now)
        cert_path, key_path = out_dir / f"{name}.pem", out_dir / f"{name}.key"
        cert_path.write_bytes(cert.public_bytes(serialization.Encoding.PEM) +
                              ca_cert.public_bytes(serialization.Encoding.PEM))
        _write_private(key_path, _key_pem(key))
        pairs.append((cert_path, key_path, cert))
    revoked = (x509.RevokedCertificateBuilder()
               .serial_number(pairs[1][2].serial_number)
               .revocation_date(now - datetime.timedelta(minutes=30))
               .build())
    crl = (x509.CertificateRevocationListBuilder()
           .issuer_name(ca_cert.subject)
           .last_update(now - datetime.timedelta(hours=1))
           .next_update(now + datetime.timedelta(days=7))
           .add_revoked_certificate(revoked)
           .add_extension(x509.AuthorityKeyIdentifier.from_issuer_public_key(ca_key.public_key()),
                          critical=False)
           .add_extension(x509.CRLNumber(int(now.timestamp())), critical=False)
           .sign(ca_key, hashes.SHA256()))
    crl_path = out_dir / "test-ca.crl"
    crl_path.write_bytes(crl.public_bytes(serialization.Encoding.DER))
    return [(c, k) for c, k, _ in pairs], crl_path


def root_store_reg(ca_dir):
    """A .reg text that adds the authority to the local machine's Root store.

    The store keeps each certificate under its SHA-1 thumbprint in upper-case hexadecimal,
    as a serialized element: property id 32 (the encoded certificate), the value 1 and the
    length, each a little-endian 32-bit number, then the DER bytes.
    """
    ca_cert, _ = ensure_ca(ca_dir)
    der = ca_cert.public_bytes(serialization.Encoding.DER)
    thumbprint = hashlib.sha1(der).hexdigest().upper()
    blob = (32).to_bytes(4, "little") + (1).to_bytes(4, "little") + len(der).to_bytes(4, "little") + der
    hex_bytes = ",".join(f"{b:02x}" for b in blob)
    key = ("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" +
           thumbprint)
    return thumbprint, f'Windows Registry Editor Version 5.00\r\n\r\n[{key}]\r\n"Blob"=hex:{hex_bytes}\r\n'
