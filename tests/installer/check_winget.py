#!/usr/bin/python3
"""Checks a winget manifest set against winget's own schemas, version 1.10.0 (copied beside this file with their
licence), and against the installer it describes: check_winget.py DIR MSI.

Every YAML file in DIR is one manifest, validated by the schema its ManifestType names; together they must be one
package version's set (a version, an installer and a default locale manifest, named as winget's repository names
them), and the installer manifest must carry the MSI's SHA-256 and product code.
"""
import glob
import hashlib
import json
import os
import subprocess
import sys

import jsonschema
import yaml

SCHEMAS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "winget-manifest-schemas-1.10.0")
KINDS = {"version": "version", "installer": "installer", "defaultLocale": "defaultLocale"}


def schema_of(kind):
    with open(os.path.join(SCHEMAS, f"manifest.{kind}.1.10.0.json"), encoding="utf-8") as data:
        return json.load(data)


def msi_property(msi, name):
    lines = subprocess.run(["msiinfo", "export", msi, "Property"], capture_output=True, text=True,
                           check=True).stdout.splitlines()
    return dict(line.split("\t", 1) for line in lines[3:] if "\t" in line).get(name)


def problems(folder, msi):
    found = []
    manifests = {}
    for path in sorted(glob.glob(os.path.join(folder, "*.yaml"))):
        with open(path, encoding="utf-8") as data:
            manifest = yaml.safe_load(data)
        kind = manifest.get("ManifestType") if isinstance(manifest, dict) else None
        if kind not in KINDS:
            found.append(f"{path}: no ManifestType of a version, installer or default locale manifest")
            continue
        validator = jsonschema.Draft7Validator(schema_of(KINDS[kind]))
        found += [f"{os.path.basename(path)}: {error.message}" for error in validator.iter_errors(manifest)]
        manifests[kind] = (os.path.basename(path), manifest)
    if sorted(manifests) != sorted(KINDS):
        return found + [f"one manifest of each kind, not {sorted(manifests)}"]

    version = manifests["version"][1]
    identifier = version["PackageIdentifier"]
    names = {"version": f"{identifier}.yaml", "installer": f"{identifier}.installer.yaml",
             "defaultLocale": f"{identifier}.locale.{version['DefaultLocale']}.yaml"}
    for kind, (name, manifest) in manifests.items():
        if name != names[kind]:
            found.append(f"the {kind} manifest is named {names[kind]}, not {name}")
        if (manifest["PackageIdentifier"], manifest["PackageVersion"]) != (identifier, version["PackageVersion"]):
            found.append(f"{name} is of {manifest['PackageIdentifier']} {manifest['PackageVersion']}")
    if manifests["defaultLocale"][1]["PackageLocale"] != version["DefaultLocale"]:
        found.append("the default locale manifest is of the version manifest's DefaultLocale")

    installer = manifests["installer"][1]
    with open(msi, "rb") as data:
        digest = hashlib.sha256(data.read()).hexdigest()
    for entry in installer["Installers"]:
        if entry["InstallerSha256"].lower() != digest:
            found.append(f"InstallerSha256 {entry['InstallerSha256']} is not the MSI's, {digest.upper()}")
    if installer.get("ProductCode") != msi_property(msi, "ProductCode"):
        found.append(f"ProductCode {installer.get('ProductCode')} is not the MSI's")
    if version["PackageVersion"] != msi_property(msi, "ProductVersion"):
        found.append(f"PackageVersion {version['PackageVersion']} is not the MSI's version")
    return found


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: check_winget.py DIR MSI\n")
        return 64
    found = problems(argv[1], argv[2])
    for what in found:
        print(f"check_winget: {what}")
    if not found:
        print(f"check_winget: {argv[1]}: valid winget 1.10.0 manifests of {os.path.basename(argv[2])}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
