#!/usr/bin/env python3
"""Makes a throwaway certificate authority and server certificates with openssl.

  make_certs.py OUTDIR

writes ca.pem (the authority to trust), server.pem/.key (from the authority, for
localhost and 127.0.0.1), wrong-host.pem/.key (from the authority, for another name) and
self-signed.pem/.key (right names, no authority). Valid for two days.
"""
import os
import subprocess
import sys


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def key(name, cwd):
    openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:prime256v1",
            "-out", name + ".key", cwd=cwd)


def signed(name, names, cwd):
    key(name, cwd)
    openssl("req", "-new", "-key", name + ".key", "-subj", "/CN=" + names[0].split(":", 1)[1],
            "-out", name + ".csr", cwd=cwd)
    with open(os.path.join(cwd, name + ".ext"), "w") as f:
        f.write("basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n"
                "subjectAltName=" + ",".join(names) + "\n")
    openssl("x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "2", "-extfile", name + ".ext", "-out", name + ".pem", cwd=cwd)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    key("ca", out)
    openssl("req", "-x509", "-new", "-key", "ca.key", "-subj", "/CN=Ovex Kelvo Test Authority",
            "-days", "2", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", "-out", "ca.pem", cwd=out)
    local = ["DNS:localhost", "IP:127.0.0.1"]
    signed("server", local, out)
    signed("wrong-host", ["DNS:wrong.example"], out)
    key("self-signed", out)
    openssl("req", "-x509", "-new", "-key", "self-signed.key", "-subj", "/CN=localhost", "-days", "2",
            "-addext", "subjectAltName=" + ",".join(local), "-out", "self-signed.pem", cwd=out)


if __name__ == "__main__":
    main()
