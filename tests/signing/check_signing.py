#!/usr/bin/env python3
"""Signing, end to end: a throwaway code-signing certificate made with openssl,
a build of this source configured with it (the build's own signing steps),
and then: osslsigncode accepts the signed DLL and both packages with that
certificate as the trusted root, and refuses them against another one; each
package holds the signed DLL; a DLL changed by one byte after signing fails;
the signed DLL registers with regsvr32 and runs the demo scenario in the
emulated Excel; both signed packages install under msiexec /qn and uninstall.
The build under test, made without a certificate, carries no signature.

    check_signing.py BUILD-DIR SOURCE-DIR VERSION x64|x86 TOOLCHAIN-FILE BUILD-TYPE SIGNED(0|1)

The signed build lives in BUILD-DIR/signing-check/build and is kept between
runs (only what changed is rebuilt); its DLL and packages are made afresh
every run, so that they carry this run's certificate.
"""
import json
import os
import secrets
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "installer"))
from wine_checks import (Prefix, check, dlls_in, excel_demo_ran, finish, read,  # noqa: E402
                         winpath)


def run(args, env=None, log=None, timeout=600):
    r = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, env=env, timeout=timeout)
    text = r.stdout.decode("utf-8", "replace")
    if log:
        with open(log, "w", encoding="utf-8") as f:
            f.write(text)
    return r.returncode, text


def make_certificate(folder, name, password):
    """A self-signed certificate for code signing: PEM for the verifier, and
    PKCS#12 (certificate and key) for the signer."""
    key, pem, pfx = (os.path.join(folder, name + ext) for ext in (".key", ".pem", ".pfx"))
    rc, text = run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", f"/CN={name}", "-keyout", key, "-out", pem,
                    "-addext", "keyUsage=critical,digitalSignature",
                    "-addext", "extendedKeyUsage=codeSigning"])
    if rc == 0:
        rc, text = run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", pem, "-out", pfx,
                        "-passout", "pass:" + password])
    if not check(f"openssl made the throwaway certificate {name}", rc == 0, text):
        sys.exit(1)
    return pem, pfx


def verify(path, ca):
    rc, text = run(["osslsigncode", "verify", "-CAfile", ca, "-in", path])
    return rc == 0 and "Signature verification: ok" in text, text


def signed_build(source, work, toolchain, build_type, pfx, password):
    """Configures and builds the signed tree; returns its folder."""
    tree = os.path.join(work, "build")
    # The password through the environment, as the README tells a company.
    env = {**os.environ, "TORVA_SIGN_PASSWORD": password}
    env.pop("TORVA_SIGN_PFX", None)
    rc, text = run(["cmake", "-S", source, "-B", tree, "-G", "Ninja",
                    "-DCMAKE_TOOLCHAIN_FILE=" + toolchain, "-DCMAKE_BUILD_TYPE=" + build_type,
                    "-DTORVA_SIGN_PFX=" + pfx, "-DTORVA_SIGN_PASSWORD=",
                    "-DTORVA_SIGN_TIMESTAMP_URL="], env=env,
                   log=os.path.join(work, "configure.log"))
    check("the signed build configures and says it signs",
          rc == 0 and "Signing the DLL and the installer packages with " + pfx in text, text[-3000:])
    # What carries a signature is made again, with this run's certificate.
    shutil.rmtree(os.path.join(tree, "packages"), ignore_errors=True)
    if os.path.exists(os.path.join(tree, "TorvaAddIn.dll")):
        os.remove(os.path.join(tree, "TorvaAddIn.dll"))
    rc, text = run(["cmake", "--build", tree, "-j2", "--target", "TorvaAddIn", "installer_packages",
                    "office_emulator", "plakora_standin", "torva_strings_file"], env=env,
                   log=os.path.join(work, "build.log"), timeout=1800)
    if not check("the signed build builds the DLL and its packages", rc == 0, text[-3000:]):
        sys.exit(finish())
    return tree


def main(build, source, version, arch, toolchain, build_type, main_signed):
    build, source = os.path.abspath(build), os.path.abspath(source)
    work = os.path.join(build, "signing-check")
    certs = os.path.join(work, "certificates")
    shutil.rmtree(certs, ignore_errors=True)
    os.makedirs(certs)
    password = secrets.token_hex(12)
    ca, pfx = make_certificate(certs, "Torva throwaway signer", password)
    stranger, _ = make_certificate(certs, "Somebody else", secrets.token_hex(12))

    tree = signed_build(source, work, toolchain, build_type, pfx, password)
    dll = os.path.join(tree, "TorvaAddIn.dll")
    msis = {scope: os.path.join(tree, "packages", f"TorvaAddIn-{version}-{arch}{suffix}.msi")
            for scope, suffix in (("per user", ""), ("per machine", "-permachine"))}

    for path in (dll, *msis.values()):
        name = os.path.basename(path)
        ok, text = verify(path, ca)
        check(f"{name}: signed, the signature verifies with the throwaway certificate trusted",
              ok, text[-2000:])
        ok, text = verify(path, stranger)
        check(f"{name}: refused when only another certificate is trusted", not ok, text[-2000:])
        if path != dll:
            with tempfile.TemporaryDirectory() as out:
                found = dlls_in(path, out)
                check(f"{name}: holds the signed DLL, byte for byte",
                      len(found) == 1 and read(found[0]) == read(dll), found)

    tampered = os.path.join(work, "TorvaAddIn-tampered.dll")
    data = bytearray(read(dll))
    data[len(data) // 3] ^= 0x01
    with open(tampered, "wb") as f:
        f.write(data)
    ok, text = verify(tampered, ca)
    check("a DLL changed by one byte after signing fails verification",
          not ok and "Signature verification: failed" in text, text[-2000:])

    # The build under test was made without a certificate: nothing in it is signed.
    if main_signed == "0":
        for path in (os.path.join(build, "TorvaAddIn.dll"),
                     *(os.path.join(build, "packages", os.path.basename(m)) for m in msis.values())):
            ok, text = verify(path, ca)
            check(f"unsigned build: {os.path.relpath(path, build)} carries no signature",
                  not ok and "no signature" in text.lower(), text[-1000:])

    prefix = Prefix(source, os.path.join(tree, "scenario-prefix"))

    folders = {"per user": prefix.user_folder("AppData", "Local", "Programs", "TorvaAddIn"),
               "per machine": prefix.drive("Program Files" if arch == "x64"
                                           else "Program Files (x86)", "TorvaAddIn")}
    for scope, msi in msis.items():
        rc, text = prefix.run("msiexec", "/i", winpath(msi), "/qn")
        installed = os.path.join(folders[scope], "TorvaAddIn.dll")
        check(f"{scope} package: the signed package installs the signed DLL (msiexec /i /qn)",
              rc == 0 and os.path.exists(installed) and read(installed) == read(dll),
              f"exit {rc}: {text}")
        rc, text = prefix.run("msiexec", "/x", winpath(msi), "/qn")
        check(f"{scope} package: uninstalls (msiexec /x /qn)",
              rc == 0 and not os.path.exists(folders[scope]), f"exit {rc}: {text}")

    # Last, as run-scenario leaves its registration (regsvr32, which must
    # succeed) in the prefix, where a package would find it and install into its folder.
    report = os.path.join(work, "excel.report.json")
    if os.path.exists(report):
        os.remove(report)
    rc, text = run([os.path.join(source, "tools", "run-scenario"),
                    os.path.join(source, "demo", "excel.json"), report],
                   env={**os.environ, "TORVA_BUILD_DIR": tree}, timeout=300)
    staged = os.path.join(tree, "scenario-addin", "TorvaAddIn.dll")
    if check("the signed DLL runs the demo scenario (tools/run-scenario)",
             rc == 0 and os.path.exists(report) and read(staged) == read(dll), text[-3000:]):
        r = json.load(open(report, encoding="utf-8"))
        check("Excel connected the signed add-in, which installed its button, started "
              "plakora.exe on the click, and let go",
              excel_demo_ran(r) and len(r["launches"]) == 1, r)
    return finish()


if __name__ == "__main__":
    if len(sys.argv) != 8:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
