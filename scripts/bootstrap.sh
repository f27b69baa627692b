#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the tools need.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libcurl4-openssl-dev libssl-dev libexpat1-dev libsqlite3-dev libplist-dev
  nlohmann-json3-dev libfmt-dev libhowardhinnant-date-dev libgeographiclib-dev
  libcpp-httplib-dev libcli11-dev libnl-genl-3-dev iproute2
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format libclang-rt-14-dev openssl curl python3 doxygen
  # the sandbox console's browser test (fonts: the screenshot shows text)
  chromium chromium-driver python3-selenium fonts-liberation
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]})); then
  echo "bootstrap: installing ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
