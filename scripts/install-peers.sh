#!/usr/bin/env bash
# Installs the peer libraries the side-by-side benchmarks compare against (Debian packages).
# Neither the library nor its tests need them; bench programs skip a peer that is missing.
set -euo pipefail
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update
$SUDO apt-get install -y libopenmesh-dev libtinyobjloader-dev libmeshoptimizer-dev libosd-dev libembree-dev libcgal-dev
