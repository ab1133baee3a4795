"""Readers for the public sources of the data build: rime-cantonese (Debian
rime-data-jyut6ping3), Unihan (Debian unicode-data) and the npm package
to-jyutping. Each reader returns plain dicts/lists; installing is in ensure_*."""

import bz2
import os
import shutil
import subprocess

RIME_DIR = "/usr/share/rime-data"
UNIHAN_DIR = "/usr/share/unicode"
RIME_FILES = ("jyut6ping3.chars.dict.yaml", "jyut6ping3.words.dict.yaml",
              "jyut6ping3.phrase.dict.yaml", "jyut6ping3.lettered.dict.yaml",
              "essay-cantonese.txt")
# The decoder follows this release's packed format; pinning keeps builds reproducible.
TOJYUTPING_PACKAGE = "to-jyutping@3.1.1"
UNIHAN_FILES = ("Unihan_Readings.txt.bz2", "Unihan_Variants.txt.bz2")


def _apt_install(package):
    if os.geteuid() != 0:
        raise SystemExit("missing Debian package %s; run: sudo apt-get install -y %s"
                         % (package, package))
    subprocess.run(["apt-get", "install", "-y", package], check=True)


def ensure_debian_sources(log):
    """Installs rime-data-jyut6ping3 and unicode-data when their files are absent."""
    for package, folder, names in (("rime-data-jyut6ping3", RIME_DIR, RIME_FILES),
                                   ("unicode-data", UNIHAN_DIR, UNIHAN_FILES)):
        if not all(os.path.exists(os.path.join(folder, n)) for n in names):
            log("installing %s" % package)
            _apt_install(package)


def ensure_tojyutping(npm_prefix, log):
    """Installs to-jyutping into npm_prefix when absent; returns its folder."""
    pkg = os.path.join(npm_prefix, "node_modules", "to-jyutping")
    if not os.path.exists(os.path.join(pkg, "dist", "index.mjs")):
        if shutil.which("npm") is None:
            raise SystemExit("npm not found; install nodejs and npm (apt-get install -y nodejs npm)")
        log("installing to-jyutping into %s" % npm_prefix)
        os.makedirs(npm_prefix, exist_ok=True)
        subprocess.run(["npm", "install", "--no-save", "--prefix", npm_prefix, TOJYUTPING_PACKAGE],
                       check=True, stdout=subprocess.DEVNULL)
    return pkg


def package_version(pkg_dir):
    import json
    with open(os.path.join(pkg_dir, "package.json"), encoding="utf-8") as fh:
        return json.load(fh).get("version", "?")


def _yaml_body(path):
    """Lines of a rime dict after its "..." header terminator, without comments."""
    with open(path, encoding="utf-8") as fh:
        in_body = False
        for line in fh:
            line = line.rstrip("\n")
            if not in_body:
                in_body = line == "..."
                continue
            if line and not line.startswith("#"):
                yield line


def _weight(text):
    """rime weight: "5%" -> 5.0; a missing weight marks the full (standard) reading."""
    text = text.strip()
    if not text:
        return 100.0
    if text.endswith("%"):
        return float(text[:-1])
    return float(text)


def read_rime_chars(path=os.path.join(RIME_DIR, "jyut6ping3.chars.dict.yaml")):
    """char -> [(reading, weight percent)] in file order."""
    out = {}
    for line in _yaml_body(path):
        parts = line.split("\t")
        if len(parts) < 2:
            continue
        out.setdefault(parts[0], []).append((parts[1], _weight(parts[2] if len(parts) > 2 else "")))
    return out


def read_rime_words(path):
    """word -> [reading] in file order (used for words and lettered files)."""
    out = {}
    for line in _yaml_body(path):
        parts = line.split("\t")
        if len(parts) < 2:
            continue
        out.setdefault(parts[0], []).append(parts[1])
    return out


def read_rime_phrases(path=os.path.join(RIME_DIR, "jyut6ping3.phrase.dict.yaml")):
    """The bare phrases (the file carries no readings), sorted."""
    return sorted({line.split("\t")[0] for line in _yaml_body(path)})


def read_rime_essay(path=os.path.join(RIME_DIR, "essay-cantonese.txt")):
    """word -> frequency count from rime's Cantonese word-frequency list."""
    out = {}
    with open(path, encoding="utf-8") as fh:
        for line in fh:
            parts = line.rstrip("\n").split("\t")
            if len(parts) == 2 and parts[1].isdigit():
                out[parts[0]] = int(parts[1])
    return out


def read_unihan_field(name, field):
    """code point char -> value text for one Unihan field."""
    out = {}
    with bz2.open(os.path.join(UNIHAN_DIR, name), "rt", encoding="utf-8") as fh:
        for line in fh:
            if line.startswith("#"):
                continue
            parts = line.rstrip("\n").split("\t")
            if len(parts) == 3 and parts[1] == field:
                out[chr(int(parts[0][2:], 16))] = parts[2]
    return out


def read_unihan_cantonese():
    """char -> [reading] from kCantonese."""
    return {c: v.split() for c, v in read_unihan_field("Unihan_Readings.txt.bz2", "kCantonese").items()}


def read_unihan_variant_pairs(field):
    """(char, variant char) pairs of kTraditionalVariant or kSimplifiedVariant."""
    pairs = []
    for c, v in read_unihan_field("Unihan_Variants.txt.bz2", field).items():
        for code in v.split():
            pairs.append((c, chr(int(code.split("<")[0][2:], 16))))
    return sorted(pairs)


def read_tojyutping(pkg_dir, decoder, scratch_tsv):
    """key -> [reading] in the package's rank order, decoded with Node."""
    if shutil.which("node") is None:
        raise SystemExit("node not found; install nodejs (apt-get install -y nodejs)")
    subprocess.run(["node", decoder, pkg_dir, scratch_tsv], check=True)
    out = {}
    with open(scratch_tsv, encoding="utf-8") as fh:
        for line in fh:
            key, value = line.rstrip("\n").split("\t")
            out[key] = value.split("|")
    return out
