#!/usr/bin/env bash
# Installs everything both builds and their tests need on a Debian 12 machine.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  cmake ninja-build g++ clang libclang-rt-14-dev python3 \
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 wine \
  nlohmann-json3-dev libcurl4-openssl-dev libssl-dev zlib1g-dev libpng-dev \
  googletest libbenchmark-dev unicode-data ca-certificates >/dev/null
