"""Prints "PASSED FAILED" for JUnit XML files (ctest --output-junit, pytest
--junitxml): every test case counts once, as failed when it holds a failure
or an error, as neither when skipped. A missing or unreadable file counts as
one failure, so a run that crashed before writing its report is not lost."""
import sys
import xml.etree.ElementTree as ET


def count(path):
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError):
        return 0, 1
    passed = failed = 0
    for case in root.iter("testcase"):
        tags = {child.tag for child in case}
        if tags & {"failure", "error"}:
            failed += 1
        elif not tags & {"skipped"}:
            passed += 1
    return passed, failed


if __name__ == "__main__":
    totals = [sum(col) for col in zip(*(count(p) for p in sys.argv[1:]))] or [0, 0]
    print(*totals)
