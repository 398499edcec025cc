#!/usr/bin/env bash
# Installs what a fresh Debian 13 or 12 machine (or an Ubuntu that follows one) lacks, for one of two purposes:
#   scripts/setup.sh run    building and running Quorvel: compiler, CMake, gettext (msgfmt compiles the
#                           message catalogue), Qt 6, GMP, fonts, translations
#   scripts/setup.sh test   all of that, plus every tool the tests, benchmarks and fuzzers use, and the
#                           comma-decimal test locale
set -euo pipefail
purpose="${1:-test}"

RUN_PACKAGES=(cmake g++ make gettext qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n
              fonts-liberation2 libgmp-dev libboost-dev)
# cups-daemon and cups-client run the private print spooler test. The install and package tests validate
# with the ecosystem's own tools: desktop-file-utils, appstream, man-db (the man page's own check),
# dpkg-dev and file (CPack's run-time dependencies), lintian.
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xclip xdotool python3 poppler-utils
               clang clang-format locales cups-daemon cups-client fontconfig
               desktop-file-utils appstream man-db dpkg-dev file lintian)

is_root() { [ "$(id -u)" -eq 0 ]; }

# Some names differ between releases; they are read from the package lists, which a fresh root has
# not fetched yet.
lists_ready=no
package_lists() {
  if [ "$lists_ready" = no ] && is_root && ! apt-cache show --no-all-versions cmake >/dev/null 2>&1; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
  fi
  lists_ready=yes
}
known_package() { package_lists; apt-cache show --no-all-versions "$1" >/dev/null 2>&1; }

# Newer releases ship Qt's SVG image plugin (the window's icon) apart from the library.
if known_package qt6-svg-plugins; then RUN_PACKAGES+=(qt6-svg-plugins); fi
# clang alone does not bring its runtime libraries without recommends; the fuzzers and the sanitizer
# runtimes need them, in the package named after the clang major version of this release.
clang_major() {
  if command -v clang >/dev/null; then
    clang --version | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1
  else
    package_lists
    apt-cache depends clang 2>/dev/null | sed -n 's/^ *Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -n 1
  fi
}
if [ "$purpose" = test ]; then
  major=$(clang_major)
  if [ -z "$major" ]; then
    echo "Cannot tell which clang this release has (apt-cache depends clang gives none)." >&2
    exit 1
  fi
  TEST_PACKAGES+=("libclang-rt-$major-dev")
fi

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
  if is_root; then
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
