#!/usr/bin/env python3
"""The Debian package, built from the normal build and checked without installing it here.

deb_package_test.py --config CPackConfig.cmake --version V --dmi-fixture DIR

cpack builds the package into a temporary folder; the checks read it (file list, control
fields, lintian, desktop-file-validate, appstreamcli), ask apt whether its Depends resolve,
and install, upgrade, remove and purge it in a throwaway root (dpkg --root, the maintainer
scripts run without chroot with DPKG_ROOT set). Exits 77 (skipped) without the tools or root.
"""
import argparse
import glob
import gzip
import hashlib
import os
import re
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

TOOLS = ("cpack", "dpkg", "dpkg-deb", "dpkg-shlibdeps", "apt-get", "lintian", "desktop-file-validate", "appstreamcli")
PREFIX = "opt/ovex-kelvo"
APP_ID = "example.ovex.OvexKelvo"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
HIVE_DIR = "etc/opt/ovex-kelvo/registry"
HIVE = HIVE_DIR + "/HKEY_LOCAL_MACHINE.reg"
PRODUCT_KEY = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ovex\\Ovex Kelvo]"
SETUP_KEY = "[HKEY_LOCAL_MACHINE\\SYSTEM\\Setup\\Status\\UnattendPasses]"
DMI_KEY = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ovex\\Ovex Kelvo\\DMI]"

# Every entry of the package, as dpkg-deb lists it: the programs, their libraries and pages,
# the autostart entry, and under /usr/share the menu entry, icons, AppStream file and docs.
EXPECTED_FILES = {
    "etc/xdg/autostart/ovex-kelvo-launcher.desktop",
    *(PREFIX + "/" + name for name in (
        "OvexKelvo", "launcher", "ovex-install-hive", "ovex-snapshot-dmi", "snapshot-dmi",
        "libovex-browser.so.1", "libovex-browser.so.1.0.0", "libovex-inet.so.1", "libovex-inet.so.1.0.0",
        "libovex-mail.so.1", "libovex-mail.so.1.0.0", "messages/EMPTY.HTML", "messages/welcome.htm")),
    "usr/share/applications/%s.desktop" % APP_ID,
    "usr/share/metainfo/%s.metainfo.xml" % APP_ID,
    *("usr/share/icons/hicolor/%dx%d/apps/%s.png" % (s, s, APP_ID) for s in ICON_SIZES),
    "usr/share/doc/ovex-kelvo/copyright",
    "usr/share/doc/ovex-kelvo/changelog.gz",
    "usr/share/lintian/overrides/ovex-kelvo",
}
PROGRAMS = {PREFIX + "/" + p for p in ("OvexKelvo", "launcher", "ovex-install-hive", "ovex-snapshot-dmi", "snapshot-dmi")}
ALLOWED_ROOTS = ("opt/", "etc/opt/", "etc/xdg/", "usr/share/")
# What dpkg-shlibdeps must find (one library each program links), and what no library names.
SHLIB_DEPENDS = ("libc6", "libstdc++6", "libqt6core6", "libqt6widgets6", "libqt6webenginewidgets6",
                 "libsqlite3-0", "libpcre2-16-0", "libxmlrpc-epi0", "libuuid1")
RUNTIME_DEPENDS = ("fontconfig", "fonts-liberation", "libqt6webengine6-data", "libqt6webenginecore6-bin", "libqt6gui6",
                   "libxss1", "libcurl4")

ARGS = None
WORK = None
DEB = None


def run(cmd, env=None, check=True, **kw):
    r = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **kw)
    if check and r.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s%s" % (" ".join(cmd), r.returncode, r.stdout, r.stderr))
    return r


def setUpModule():
    global WORK, DEB
    WORK = tempfile.mkdtemp(prefix="ovex-deb-")
    run(["cpack", "-G", "DEB", "--config", ARGS.config, "-B", WORK + "/out"])
    debs = glob.glob(WORK + "/out/*.deb")
    assert len(debs) == 1, debs
    DEB = debs[0]
    run(["dpkg-deb", "-x", DEB, WORK + "/tree"])
    run(["dpkg-deb", "-e", DEB, WORK + "/control"])


def tearDownModule():
    shutil.rmtree(WORK, ignore_errors=True)


def field_names(relation):
    """The package names of a Depends-like field, alternatives included."""
    return {re.split(r"[\s(]", alt.strip())[0] for part in relation.split(",") for alt in part.split("|") if alt.strip()}


def desktop_entry(path):
    entry = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if "=" in line and not line.startswith("#"):
                key, value = line.rstrip("\n").split("=", 1)
                entry[key] = value
    return entry


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", path + " is not a PNG"
    return struct.unpack(">II", head[16:24])


class PackageContents(unittest.TestCase):
    def test_name_and_file_list(self):
        self.assertEqual(os.path.basename(DEB), "ovex-kelvo_%s_%s.deb" % (ARGS.version, ARGS.arch))
        listing = run(["dpkg-deb", "--contents", DEB]).stdout.splitlines()
        files, owners = set(), set()
        for line in listing:
            mode, owner, _size, _date, _time, name = line.split(None, 5)
            name = name.split(" -> ")[0].removeprefix("./")
            owners.add(owner)
            if not mode.startswith("d"):
                files.add(name)
                self.assertTrue(name.startswith(ALLOWED_ROOTS), name + " lies outside the package's folders")
                want = "rwxr-xr-x" if name in PROGRAMS else "rwxrwxrwx" if mode.startswith("l") else "rw-r--r--"
                self.assertEqual(mode[1:], want, name)
            else:
                self.assertEqual(mode, "drwxr-xr-x", name)
        self.assertEqual(owners, {"root/root"})
        self.assertEqual(files, EXPECTED_FILES)
        self.assertFalse(os.path.exists(os.path.join(WORK, "tree", HIVE)), "the configure step writes the hive")

    def test_control_fields(self):
        f = lambda name: run(["dpkg-deb", "--field", DEB, name]).stdout.strip()
        self.assertEqual(f("Package"), "ovex-kelvo")
        self.assertEqual(f("Version"), ARGS.version)
        self.assertEqual(f("Architecture"), ARGS.arch)
        self.assertRegex(f("Maintainer"), r"^[^<>]+ <[^@\s]+@[^>\s]+>$")
        self.assertTrue(f("Description").splitlines()[1:], "an extended description")
        depends = field_names(f("Depends"))
        for name in SHLIB_DEPENDS + RUNTIME_DEPENDS:
            self.assertIn(name, depends)
        self.assertIn("libqt6gui6", depends, "the xcb platform plugin")
        suggests = f("Suggests")
        self.assertIn("mail-transport-agent", field_names(suggests))
        self.assertIn("cups", field_names(suggests))
        for script in ("postinst", "postrm"):
            mode = os.stat(os.path.join(WORK, "control", script)).st_mode
            self.assertEqual(stat.S_IMODE(mode), 0o755, script)

    def test_versions_agree(self):
        with gzip.open(os.path.join(WORK, "tree/usr/share/doc/ovex-kelvo/changelog.gz"), "rt") as f:
            self.assertRegex(f.readline(), r"^ovex-kelvo \(%s\) " % re.escape(ARGS.version))
        meta = ET.parse(os.path.join(WORK, "tree/usr/share/metainfo/%s.metainfo.xml" % APP_ID))
        self.assertEqual(meta.find("releases/release").get("version"), ARGS.version, "the newest release comes first")

    def test_depends_resolve(self):
        r = run(["apt-get", "install", "--simulate", "-q", DEB], check=False)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertRegex(r.stdout, r"(?m)^Inst ovex-kelvo |ovex-kelvo is already the newest", r.stdout)

    def test_lintian_has_no_errors_or_warnings(self):
        r = run(["lintian", "--fail-on", "error,warning", DEB], check=False)
        print(r.stdout, end="")
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertNotRegex(r.stdout, r"(?m)^[EW]: ")

    def test_desktop_entries(self):
        tree = os.path.join(WORK, "tree")
        client = os.path.join(tree, "usr/share/applications/%s.desktop" % APP_ID)
        autostart = os.path.join(tree, "etc/xdg/autostart/ovex-kelvo-launcher.desktop")
        r = run(["desktop-file-validate", client, autostart], check=False)
        self.assertEqual((r.returncode, r.stdout + r.stderr), (0, ""))

        entry = desktop_entry(client)
        self.assertEqual(entry["Name"], "Ovex Kelvo")
        self.assertEqual(entry["Exec"], "/" + PREFIX + "/OvexKelvo", "started with no argument, as by hand")
        self.assertEqual(entry["Icon"], APP_ID)
        self.assertNotIn("NoDisplay", entry)
        for size in ICON_SIZES:
            icon = os.path.join(tree, "usr/share/icons/hicolor/%dx%d/apps/%s.png" % (size, size, entry["Icon"]))
            self.assertEqual(png_size(icon), (size, size))
        self.assertEqual(desktop_entry(autostart)["Exec"], "/" + PREFIX + "/launcher")
        for e in (entry, desktop_entry(autostart)):
            self.assertTrue(os.access(tree + e["Exec"], os.X_OK), e["Exec"])

    def test_appstream(self):
        meta = os.path.join(WORK, "tree/usr/share/metainfo/%s.metainfo.xml" % APP_ID)
        r = run(["appstreamcli", "validate", "--no-net", "--no-color", meta], check=False)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertNotRegex(r.stdout, r"(?m)^[EW]: ", r.stdout)
        root = ET.parse(meta).getroot()
        self.assertEqual(root.findtext("id"), APP_ID)
        self.assertEqual(root.findtext("launchable"), APP_ID + ".desktop")


def snapshot(top, skip=("var/lib/dpkg",)):
    """Every entry under top: its type and mode, and a file's content hash."""
    seen = {}
    for folder, dirs, names in os.walk(top):
        rel = os.path.relpath(folder, top)
        dirs[:] = [d for d in dirs if os.path.normpath(os.path.join(rel, d)) not in skip]
        for name in dirs + names:
            path = os.path.join(folder, name)
            st = os.lstat(path)
            digest = None
            if stat.S_ISREG(st.st_mode):
                with open(path, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
            seen[os.path.normpath(os.path.join(rel, name))] = (st.st_mode, digest)
    return seen


def section(text, key):
    """The lines of one [key] section of a hive."""
    lines = text.splitlines()
    if key not in lines:
        return []
    rest = lines[lines.index(key) + 1:]
    return rest[:next((i for i, l in enumerate(rest) if l.startswith("[")), len(rest))]


class ThrowawayRoot(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="root-", dir=WORK)
        admin = os.path.join(self.root, "var/lib/dpkg")
        for sub in ("info", "updates", "triggers"):
            os.makedirs(os.path.join(admin, sub))
        for name in ("status", "available"):
            open(os.path.join(admin, name), "w").close()
        os.makedirs(os.path.join(self.root, "etc/opt"))  # there on every Debian system
        # A user's own data, which neither remove nor purge touches.
        home = os.path.join(self.root, "home/ada")
        for rel, data in ((".local/share/Ovex/Ovex Kelvo/brevant.dat", "SQLite format 3\0"),
                          (".config/ovex-kelvo/registry/HKEY_CURRENT_USER.reg", "REGEDIT4\n"),
                          (".config/autostart/Ovex Kelvo Registration.desktop", "[Desktop Entry]\n")):
            os.makedirs(os.path.dirname(os.path.join(home, rel)), exist_ok=True)
            with open(os.path.join(home, rel), "w") as f:
                f.write(data)
        self.decoy = os.path.join(WORK, "decoy-registry")

    def dpkg(self, *args, check=True, **env):
        e = {k: v for k, v in os.environ.items() if k not in ("DPKG_ROOT", "OVEX_OEM_INSTALL", "OVEX_DMI_DIR")}
        e["OVEX_REGISTRY_DIR"] = self.decoy
        e.update(env)
        return run(["dpkg", "--root=" + self.root, "--log=" + os.path.join(WORK, "dpkg.log"), "--force-script-chrootless",
                    "--force-depends", "--force-unsafe-io", *args], env=e, check=check)

    def hive(self):
        with open(os.path.join(self.root, HIVE), encoding="utf-8") as f:
            return f.read()

    def status(self):
        r = run(["dpkg-query", "--admindir=" + self.root + "/var/lib/dpkg", "-W", "-f=${Status}", "ovex-kelvo"],
                check=False)
        return r.stdout if r.returncode == 0 else "not known"

    def test_install_upgrade_remove_purge(self):
        host = snapshot("/etc/opt/ovex-kelvo") if os.path.isdir("/etc/opt/ovex-kelvo") else None
        before = snapshot(self.root)

        self.dpkg("--install", DEB)
        self.assertEqual(self.status(), "install ok installed")
        for name in EXPECTED_FILES:
            self.assertTrue(os.path.lexists(os.path.join(self.root, name)), name)
        install_path = '"InstallPath"="/%s/OvexKelvo"' % PREFIX
        self.assertIn(install_path, section(self.hive(), PRODUCT_KEY))
        self.assertEqual(section(self.hive(), SETUP_KEY), [], "only an OEM installation records the first boot")
        self.assertEqual(stat.S_IMODE(os.stat(os.path.join(self.root, HIVE)).st_mode), 0o644)

        # An OEM's install records the first boot and the DMI values; a later upgrade keeps them.
        self.dpkg("--install", DEB, OVEX_OEM_INSTALL="1", OVEX_DMI_DIR=ARGS.dmi_fixture)
        with open(os.path.join(ARGS.dmi_fixture, "product_serial")) as f:
            serial = '"product_serial"="%s"' % f.read().strip()
        self.assertIn('"oobeSystem"=dword:00000001', section(self.hive(), SETUP_KEY))
        self.assertIn(serial, section(self.hive(), DMI_KEY))
        self.dpkg("--install", DEB)
        self.assertIn('"oobeSystem"=dword:00000001', section(self.hive(), SETUP_KEY))
        self.assertIn(serial, section(self.hive(), DMI_KEY))
        self.assertIn(install_path, section(self.hive(), PRODUCT_KEY))
        self.assertFalse(os.path.exists(self.decoy), "the configure step writes the machine hive, whatever the shell holds")

        # Remove takes every file of the package and keeps the hive the configure step wrote.
        self.dpkg("--remove", "ovex-kelvo")
        self.assertEqual(self.status(), "deinstall ok config-files")
        left = snapshot(self.root)
        added = sorted(set(left) - set(before))
        self.assertEqual([p for p in added if not p.startswith("etc/opt/ovex-kelvo")], [])
        self.assertIn(HIVE, added)
        self.assertEqual(sorted(p for p in before if left.get(p) != before[p]), [], "changed or gone")

        # Purge takes the hive too and leaves the root as it was, the user's data included.
        self.dpkg("--purge", "ovex-kelvo")
        self.assertEqual(self.status(), "not known")
        after = snapshot(self.root)
        self.assertEqual(sorted(set(after) - set(before)), [], "left behind")
        self.assertEqual(sorted(p for p in before if after.get(p) != before[p]), [], "changed or gone")
        self.assertEqual(snapshot("/etc/opt/ovex-kelvo") if os.path.isdir("/etc/opt/ovex-kelvo") else None, host,
                         "the scripts touch only the root dpkg names")


    def test_oem_install_without_dmi_values_records_none_of_it(self):
        r = self.dpkg("--install", DEB, check=False, OVEX_OEM_INSTALL="1", OVEX_DMI_DIR=os.path.join(WORK, "no-dmi"))
        self.assertNotEqual(r.returncode, 0, "the configure step says the snapshot failed")
        self.assertIn("No DMI folder", r.stderr + r.stdout)
        self.assertFalse(os.path.exists(os.path.join(self.root, HIVE)), "no first-boot pass without the snapshot")
        self.dpkg("--configure", "-a")  # without the variable: an ordinary installation
        self.assertEqual(self.status(), "install ok installed")
        self.assertEqual(section(self.hive(), SETUP_KEY), [])
        self.dpkg("--purge", "ovex-kelvo")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--config", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--dmi-fixture", required=True)
    ARGS, rest = parser.parse_known_args()
    ARGS.config, ARGS.dmi_fixture = os.path.abspath(ARGS.config), os.path.abspath(ARGS.dmi_fixture)
    missing = [t for t in TOOLS if not shutil.which(t)]
    if missing:
        print("skipped: missing " + " ".join(missing) + " (scripts/install-deps installs them)")
        return 77
    if os.geteuid() != 0:
        print("skipped: dpkg --root needs root")
        return 77
    ARGS.arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    result = unittest.main(argv=[sys.argv[0], "-v"] + rest, exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
