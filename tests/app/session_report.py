#!/usr/bin/env python3
"""Writes the window sessions' checks as a GoogleTest-style XML report, so that the test
command counts each check: session_report.py RESULTS REPORT, where RESULTS holds one line
per check, "pass<TAB>name" or "fail<TAB>name<TAB>what was wrong"."""
import sys
from xml.sax.saxutils import quoteattr
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1]) if line.strip()]
failed = sum(1 for r in rows if r[0] != "pass")
with open(sys.argv[2], "w") as out:
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n')
    out.write('<testsuites tests="%d" failures="%d" disabled="0" errors="0" name="window_session_test">\n' % (len(rows), failed))
    out.write('  <testsuite name="WindowSession" tests="%d" failures="%d" disabled="0" errors="0">\n' % (len(rows), failed))
    for r in rows:
        out.write('    <testcase name=%s status="run">' % quoteattr(r[1]))
        if r[0] != "pass":
            out.write('<failure message=%s/>' % quoteattr(r[2]))
        out.write('</testcase>\n')
    out.write('  </testsuite>\n</testsuites>\n')
