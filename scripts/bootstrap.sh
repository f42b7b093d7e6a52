# Sourced by ./run and ./test: installs what a fresh Debian 12 machine
# lacks and provides the build helpers. Idempotent and quiet when nothing
# is missing.

MORVEX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
MORVEX_JOBS="$(nproc 2>/dev/null || echo 2)"

MORVEX_PACKAGES=(
  build-essential cmake ninja-build pkg-config binutils
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-webengine-dev qt6-serialport-dev libgl-dev
  googletest libgtest-dev libgmock-dev
  clang xvfb xauth locales openbox libgl1-mesa-dri
)

morvex_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

morvex_install_packages() {
  local missing=() p
  for p in "${MORVEX_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    morvex_as_root apt-get update -q
    morvex_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
  # Number formatting must not follow the user's locale; the tests check
  # that under a German one.
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    morvex_as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "warning: could not generate de_DE.UTF-8"
  fi
}

# morvex_build <build-dir> [cmake options...]
morvex_build() {
  local dir="$1"; shift
  cmake -S "$MORVEX_ROOT" -B "$MORVEX_ROOT/$dir" -G Ninja "$@"
  cmake --build "$MORVEX_ROOT/$dir" -j "$MORVEX_JOBS"
}
