#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, for one of two purposes:
#   scripts/setup.sh run    building and running Quorvel: compiler, CMake, Qt 6, GMP, fonts, translations
#   scripts/setup.sh test   all of that, plus every tool the tests, benchmarks and fuzzers use, and the
#                           comma-decimal test locale
set -euo pipefail
purpose="${1:-test}"

RUN_PACKAGES=(cmake g++ make qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n
              fonts-liberation2 libgmp-dev)
# clang alone does not bring its runtime libraries without recommends; the fuzzers and sanitizer
# runtimes need libclang-rt-14-dev. cups-daemon and cups-client run the private print spooler test.
# The install and package tests validate with the ecosystem's own tools: desktop-file-utils, appstream,
# man-db (the man page's own check), dpkg-dev and file (CPack's run-time dependencies), lintian.
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xclip xdotool python3 poppler-utils
               clang libclang-rt-14-dev clang-format locales cups-daemon cups-client
               desktop-file-utils appstream man-db dpkg-dev file lintian)

case "$purpose" in
  run) packages=("${RUN_PACKAGES[@]}") ;;
  test) packages=("${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
  *) echo "usage: scripts/setup.sh run|test" >&2; exit 64 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "Missing packages. Run:"
    echo "  sudo apt-get install --no-install-recommends ${missing[*]}"
    exit 1
  fi
fi

[ "$purpose" = test ] || exit 0

# Locale tests need a real comma-decimal locale with a non-breaking-space thousands character.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  if [ "$(id -u)" -eq 0 ]; then
    localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
  else
    echo "The ru_RU.UTF-8 locale is missing. Run:"
    echo "  sudo localedef -i ru_RU -f UTF-8 ru_RU.UTF-8"
    exit 1
  fi
fi
