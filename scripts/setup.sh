#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for building, testing and running Quorvel,
# and makes sure the comma-decimal test locale exists.
set -euo pipefail

PACKAGES=(cmake g++ make qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n
          fonts-liberation2 libgmp-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xclip
          locales clang clang-format poppler-utils xdotool python3)

missing=()
for p in "${PACKAGES[@]}"; do
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
    echo "  sudo apt-get install ${missing[*]}"
    exit 1
  fi
fi

# Locale tests need a real comma-decimal locale with a non-breaking-space thousands character.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  if [ "$(id -u)" -eq 0 ]; then
    localedef -i ru_RU -f UTF-8 ru_RU.UTF-8 || echo "warning: could not generate ru_RU.UTF-8" >&2
  else
    echo "note: the ru_RU.UTF-8 locale is missing; locale tests will be skipped" >&2
  fi
fi
