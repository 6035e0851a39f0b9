#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then
# configures and builds the whole tree into build/ with Ninja and ccache.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev libgl-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev sqlite3
  libspandsp-dev libsndfile1-dev libsamplerate0-dev
  portaudio19-dev libasound2-dev libhidapi-dev libudev-dev
  libespeak-ng-dev espeak-ng-data
  libcurl4-openssl-dev
  poppler-utils fonts-liberation
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=300 update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=300 \
    install -y -qq --no-install-recommends "${missing[@]}"
fi

# Let a desktop user open the line units (hidraw); harmless without units.
rule=share/udev/70-doruzudo-line.rules
if [ -d /etc/udev/rules.d ] && ! cmp -s "$rule" /etc/udev/rules.d/70-doruzudo-line.rules; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" install -m 0644 "$rule" /etc/udev/rules.d/ || echo "note: could not install $rule"
  if command -v udevadm >/dev/null 2>&1; then
    "${sudo_cmd[@]}" udevadm control --reload-rules 2>/dev/null || true
    "${sudo_cmd[@]}" udevadm trigger --subsystem-match=hidraw 2>/dev/null || true
  fi
fi

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
# Paths relative to the tree, so that another clone reuses the cache.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build
