#!/usr/bin/python3
"""Reads an installer's tables with msitools and checks what no run under Wine can show: check_msi.py MSI VERSION.

Wine has no UAC and runs every installer as an administrator would be, so that ours asks for none is read here: a
per-user package (no ALLUSERS, the summary's "no elevation" bit), no launch condition on privileges, no custom
action, registry values in HKCU alone. Beside that: the product and upgrade codes that upgrades rely on, where the
files and the shortcut go, and that the installer's own values stay out of the program's settings key.
"""
import subprocess
import sys

# Every release's installer carries it: a new one would leave older versions installed beside the new.
UPGRADE_CODE = "{5478E9AB-B518-4320-A95D-D599DA2AD7D2}"
SETTINGS_KEY = "software\\corvell\\skerrow"
HKCU = "1"
NO_ELEVATION = 8  # the summary's word count: the package needs no elevated privileges


def table(msi, name):
    """The rows of a table as dicts by column name (msiinfo's export: names, types, key line, then rows)."""
    lines = subprocess.run(["msiinfo", "export", msi, name], capture_output=True, text=True, check=True).stdout
    lines = lines.replace("\r\n", "\n").split("\n")
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def summary(msi):
    text = subprocess.run(["msiinfo", "suminfo", msi], capture_output=True, text=True, check=True).stdout
    return dict(line.split(": ", 1) for line in text.splitlines() if ": " in line)


def folder_path(directories, key):
    """A Directory key as the path of its parents' keys and its own name: INSTALLFOLDER gives
    LocalAppDataFolder\\Programs\\Skerrow."""
    row = directories[key]
    name = row["DefaultDir"].split("|")[-1].split(":")[-1]
    if not row["Directory_Parent"] or row["Directory_Parent"] == "TARGETDIR":
        return key
    return folder_path(directories, row["Directory_Parent"]) + "\\" + name


def problems(msi, version):
    found = []

    def expect(condition, what):
        if not condition:
            found.append(what)

    properties = {row["Property"]: row["Value"] for row in table(msi, "Property")}
    expect(properties.get("ProductName") == "Skerrow", "ProductName is Skerrow")
    expect(properties.get("Manufacturer") == "Corvell", "Manufacturer (Apps & features' publisher) is Corvell")
    expect(properties.get("ProductVersion") == version, f"ProductVersion is {version}")
    expect(properties.get("UpgradeCode") == UPGRADE_CODE, f"UpgradeCode is {UPGRADE_CODE}, as in every release")
    expect("ALLUSERS" not in properties and "MSIINSTALLPERUSER" not in properties,
           "no ALLUSERS or MSIINSTALLPERUSER: installed for the user alone, never offered for all users")

    info = summary(msi)
    expect(int(info.get("Source", "0").split()[0]) & NO_ELEVATION, "the summary says it needs no elevation")
    expect(info.get("Template") == "x64;1033", "a 64-bit package in English")

    for row in table(msi, "LaunchCondition"):
        expect(not any(word in row["Condition"] for word in ("Privileged", "AdminUser")),
               f"no launch condition on privileges: {row['Condition']}")
    expect(not table(msi, "CustomAction"), "no custom action")
    expect(any(row["Action"] == "RemoveExistingProducts" for row in table(msi, "InstallExecuteSequence")),
           "a newer version removes the older (RemoveExistingProducts)")
    upgrades = table(msi, "Upgrade")
    expect(any(row["UpgradeCode"] == UPGRADE_CODE and row["VersionMax"] == version and not row["VersionMin"]
               for row in upgrades), "every version below this one is found and replaced")

    directories = {row["Directory"]: row for row in table(msi, "Directory")}
    components = {row["Component"]: row for row in table(msi, "Component")}
    files = {row["FileName"].split("|")[-1]: row for row in table(msi, "File")}
    expect(sorted(files) == ["LICENSE.txt", "README.txt", "skerrow.exe"], f"three files, not {sorted(files)}")
    for name, row in files.items():
        place = folder_path(directories, components[row["Component_"]]["Directory_"])
        expect(place == "LocalAppDataFolder\\Programs\\Skerrow", f"{name} goes to {place}")

    shortcuts = table(msi, "Shortcut")
    expect(len(shortcuts) == 1, "one shortcut")
    for row in shortcuts:
        expect(row["Directory_"] == "ProgramMenuFolder", "the shortcut is in the Start menu's programs")
        exe = files.get("skerrow.exe", {}).get("File")
        expect(row["Target"] == f"[#{exe}]", f"the shortcut starts the installed skerrow.exe, not {row['Target']}")

    for row in table(msi, "Registry"):
        key = row["Key"].lower()
        expect(row["Root"] == HKCU, f"{row['Key']} is under HKCU")
        expect(key != SETTINGS_KEY and not key.startswith(SETTINGS_KEY + "\\"),
               f"{row['Key']} stays out of the settings key")
    for name, row in components.items():
        expect(row["KeyPath"] in {r["Registry"] for r in table(msi, "Registry")},
               f"component {name} is kept by a value under HKCU, as components in a user's profile are")
    return found


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: check_msi.py MSI VERSION\n")
        return 64
    found = problems(argv[1], argv[2])
    for what in found:
        print(f"check_msi: {argv[1]}: expected: {what}")
    if not found:
        print(f"check_msi: {argv[1]}: per user, no elevation, {argv[2]}, upgrade code and places as they should be")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
