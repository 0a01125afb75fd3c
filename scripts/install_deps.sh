#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, only those that are missing,
# so that it costs nothing once everything is there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang-format-14 python3
  libopencv-dev libspdlog-dev libfmt-dev libsystemd-dev libyaml-cpp-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)
# A caller that needs more (the real ROS 2 build) names them here.
read -r -a extra <<<"${PACKAGES_EXTRA:-}"
packages+=("${extra[@]}")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
