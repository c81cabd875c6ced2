"""One rule for the Python tests that need something the machine may lack.

Outside CI a missing tool or package skips the test (exit code 77, which
CTest reports as skipped). In CI (CI=true) it fails the test instead, naming
the Debian package, so that a missing install step can never pass as green.
"""

import os
import sys

SKIP = 77


def missing(what, package):
    """Ends the test because `what` is not there; `package` provides it."""
    if os.environ.get("CI") == "true":
        print(f"FAIL: {what} is not installed (Debian: {package}); in CI every test must run")
        sys.exit(1)
    print(f"SKIP: {what} is not installed (Debian: {package})")
    sys.exit(SKIP)
