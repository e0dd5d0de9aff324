#!/usr/bin/env python3
"""Fails when a test registered in a build directory has no time limit (ctest's TIMEOUT).

A test without one that hangs holds the whole run until CI gives up, with no name to show for
it; with one, the hang becomes that test's failure. Run by ctest itself, after the build has
discovered the unit tests: check-test-timeouts.py BUILD_DIR [CTEST]
"""
import json
import subprocess
import sys


def tests_without_timeout(listing):
    missing = []
    for test in listing["tests"]:
        limits = [p["value"] for p in test.get("properties", []) if p["name"] == "TIMEOUT"]
        if not limits or float(limits[0]) <= 0:
            missing.append(test["name"])
    return missing


def main():
    build_dir = sys.argv[1]
    ctest = sys.argv[2] if len(sys.argv) > 2 else "ctest"
    shown = subprocess.run([ctest, "--show-only=json-v1"], cwd=build_dir, capture_output=True,
                           text=True, timeout=120, check=True)
    listing = json.loads(shown.stdout)
    missing = tests_without_timeout(listing)
    if missing:
        print("tests without a TIMEOUT (give each one that fits its duration):")
        for name in missing:
            print("  " + name)
        return 1
    print("all %d tests have a TIMEOUT" % len(listing["tests"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
