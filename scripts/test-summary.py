#!/usr/bin/env python3
"""Counts the test results of a whole run: prints the first failed cases by name, so that
the last lines of a run's output say what went wrong, then "N passed, N failed".

Each ctest entry is either a GoogleTest executable, whose XML report gives its individual
test cases, or a script test, which counts as one. A test executable that crashed before
writing its report counts as one failure, and a preset whose build broke as one more.
"""
import glob
import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(path, failures):
    """Passed and failed cases of one report; the failed ones' names and messages go to
    failures, so that the end of a run's output says what went wrong."""
    root = ET.parse(path).getroot()
    tests = int(root.get("tests", 0)) - int(root.get("disabled", 0))
    failed = int(root.get("failures", 0)) + int(root.get("errors", 0))
    for case in root.iter("testcase"):
        for problem in list(case.findall("failure")) + list(case.findall("error")):
            message = (problem.get("message") or problem.text or "").strip().splitlines()
            failures.append("%s: %s%s" % (os.path.basename(path)[:-4], case.get("name"),
                                          (": " + message[0][:300]) if message else ""))
    return tests - failed, failed


def main(reports):
    passed = failed = 0
    failures = []
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
                p, f = gtest_counts(report, failures)
                if not ok and f == 0:
                    f = 1  # the executable failed after its report, or with a crash
                    failures.append("%s: %s ended in failure after its report" % (preset, name))
                passed += p
                failed += f
            elif ok:
                passed += 1
            else:
                failed += 1
                failures.append("%s: %s" % (preset, name))
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
    for line in failures[:8]:
        print("FAILED " + line)
    if len(failures) > 8:
        print("FAILED ... and %d more" % (len(failures) - 8))
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
