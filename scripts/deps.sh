#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing,
# and any further packages named as arguments.
set -euo pipefail
pkgs=("$@"
      build-essential cmake libeigen3-dev libgtest-dev libgmock-dev libbenchmark-dev
      swig python3 python3-dev python3-pytest python3-numpy python3-matplotlib python3-distributed
      python3-iapws python3-venv python3-setuptools python3-wheel pkg-config)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
