#!/usr/bin/env bash
# Installs what the build and the tests need when a machine lacks it (Debian).
set -euo pipefail
need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev libgmock-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
# The Python module and its tests, for the system interpreter.
[ -f /usr/include/pybind11/pybind11.h ] || need+=(python3-pybind11)
ls /usr/include/python3*/Python.h >/dev/null 2>&1 || need+=(python3-dev)
/usr/bin/python3 -c "import numpy" 2>/dev/null || need+=(python3-numpy)
/usr/bin/python3 -c "import pytest" 2>/dev/null || need+=(python3-pytest)
[ -f /usr/include/png.h ] || need+=(libpng-dev)  # the tool's PNG pictures
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  $SUDO apt-get install -y "${need[@]}"
fi
