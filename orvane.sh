#!/usr/bin/env bash
# Set-up, build and jobs of the Orvane project, for a Debian 12 machine.
#   ./orvane.sh demo    build the Windows programs and run the whole story under Wine
#   ./orvane.sh test    build everything and run every test
#   ./orvane.sh test unit|pcsc|wine|fuzz   one group (tests/README.md)
#   ./orvane.sh fuzz-long   every fuzz target for 10 million inputs or 10 minutes (not CI)
#   ./orvane.sh build   only build (all presets)
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64
  pcscd libpcsclite-dev vsmartcard-vpcd pcsc-tools
  xvfb xauth x11-utils fonts-noto-cjk imagemagick
  python3 file
  msitools wixl fp-utils fp-compiler fp-units-fcl fp-units-misc fpc-source-3.2.2 python3-chm libchm-bin
)

log() { printf '== %s\n' "$*" >&2; }

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build_preset() {
  local preset=$1
  log "building $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
}

build_all() {
  build_preset win32
  build_preset win64
  build_preset native
}

demo() {
  # The Windows builds only: the story runs the 64-bit twins under Wine; the
  # 32-bit build is what ships (build/win32/Orvane.msi).
  build_preset win32
  build_preset win64
  demo/demo.sh
  echo "Installer (32-bit, as shipped): build/win32/Orvane.msi"
}

run_tests() {
  build_preset native-asan
  build_preset fuzz
  build_all
  log "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  # The end-to-end, Wine and fuzz tests drive programs of the other builds;
  # here only the tests that run the sanitized code itself. A failure here
  # still lets the full run below report, and fails the command after it.
  local sanitized=0
  ctest --preset native-asan -j2 --timeout 300 -LE "$NOT_UNIT" || sanitized=$?
  log "all tests"
  local all=0
  ctest --preset native -j2 --timeout 600 || all=$?
  [ "$sanitized" -eq 0 ] && [ "$all" -eq 0 ]
}

# One group of tests, with the builds it needs (tests/README.md).
NOT_UNIT='pcsc|wine|fuzz|bench'
run_group() {
  case $1 in
    unit)
      build_preset native-asan; build_preset win32; build_preset native
      local sanitized=0
      ctest --preset native-asan -j2 --timeout 300 -LE "$NOT_UNIT" || sanitized=$?
      ctest --preset native -j2 --timeout 300 -LE "$NOT_UNIT" && [ "$sanitized" -eq 0 ] ;;
    pcsc|wine) build_all; ctest --preset native -j2 --timeout 600 -L "$1" ;;
    fuzz) build_preset fuzz; build_preset native; ctest --preset native -j2 --timeout 300 -L fuzz ;;
    *) echo "usage: $0 test [unit|pcsc|wine|fuzz]" >&2; return 2 ;;
  esac
}

case "${1:-}" in
  demo) install_packages; demo ;;
  test) install_packages; if [ -n "${2:-}" ]; then run_group "$2"; else run_tests; fi ;;
  fuzz-long) install_packages; build_preset fuzz; tests/fuzzrun/fuzz-long.sh "${@:2}" ;;
  build) install_packages; build_all ;;
  setup) install_packages ;;
  *) echo "usage: $0 demo|test [unit|pcsc|wine|fuzz]|fuzz-long|build|setup" >&2; exit 2 ;;
esac
