#!/usr/bin/env python3
"""Counts the test results of a whole run and prints "N passed, N failed".

Each ctest entry is either a GoogleTest executable, whose XML report gives its individual
test cases, or a script test, which counts as one. A test executable that crashed before
writing its report counts as one failure, and a preset whose build broke as one more.
"""
import glob
import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(path):
    root = ET.parse(path).getroot()
    tests = int(root.get("tests", 0)) - int(root.get("disabled", 0))
    failed = int(root.get("failures", 0)) + int(root.get("errors", 0))
    return tests - failed, failed


def main(reports):
    passed = failed = 0
    for junit in sorted(glob.glob(os.path.join(reports, "ctest-*.xml"))):
        preset = os.path.basename(junit)[len("ctest-"):-len(".xml")]
        for case in ET.parse(junit).getroot().iter("testcase"):
            name = case.get("name")
            status = case.get("status", "run")
            if status in ("disabled", "notrun") and case.find("skipped") is not None:
                continue
            ok = case.find("failure") is None and case.find("error") is None and status != "fail"
            report = os.path.join(reports, "gtest-" + preset, name + ".xml")
            if os.path.exists(report):
                p, f = gtest_counts(report)
                if not ok and f == 0:
                    f = 1  # the executable failed after its report, or with a crash
                passed += p
                failed += f
            elif ok:
                passed += 1
            else:
                failed += 1
    extra = os.path.join(reports, "extra-results")
    if os.path.exists(extra):
        for line in open(extra):
            parts = line.split()
            if len(parts) == 2:
                passed += parts[1] == "pass"
                failed += parts[1] != "pass"
    broken = os.path.join(reports, "broken-builds")
    if os.path.exists(broken):
        failed += len(open(broken).read().split())
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
