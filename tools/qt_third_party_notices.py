import json, os, sys
qtbase = sys.argv[1]
# The third-party code compiled into the Qt modules and plugins that ship with KV.exe.
dirs = ["src/corelib", "src/gui", "src/widgets"] + ["src/3rdparty/" + d for d in (
    "blake2", "double-conversion", "easing", "harfbuzz-ng", "icc", "libpng", "md4", "md4c", "md5",
    "pcre2", "rfc6234", "sha1", "sha3", "tinycbor", "zlib")]
skip = ("vulkan",)  # switched off
for top in dirs:
    for root, _, files in sorted(os.walk(os.path.join(qtbase, top))):
        if "qt_attribution.json" not in files or any(s in root for s in skip):
            continue
        with open(os.path.join(root, "qt_attribution.json"), encoding="utf-8") as f:
            entries = json.loads(f.read(), strict=False)
        for e in entries if isinstance(entries, list) else [entries]:
            print("=" * 78)
            print("%s %s" % (e["Name"], e.get("Version", "")))
            print("License: %s" % e["License"])
            print(e.get("Copyright", "").strip())
            for name in [e["LicenseFile"]] if "LicenseFile" in e else e.get("LicenseFiles", []):
                print()
                with open(os.path.join(root, name), encoding="utf-8", errors="replace") as lf:
                    print(lf.read().strip())
            print()
