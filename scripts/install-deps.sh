#!/usr/bin/env bash
# Installs the Debian packages a purpose needs; name one or more purposes:
#   build       build and run both programs (the default)
#   test        the test suite (GoogleTest, valgrind, the desktop-file and
#               AppStream validators)
#   bench       the benchmarks (Google Benchmark, hyperfine, a private X server)
#   fuzz        the fuzzers (clang 19 and its sanitizer runtimes)
#   format      the C++ layout check (clang-format 19)
#   package     the Debian package and its checks (manual pages, lintian,
#               debootstrap for the install test)
#   screenshot  the window on a private X server and the pictures in docs/
#   cards       the card tests: exFAT and FAT drivers (FUSE) and their tools,
#               strace to kill a driver at a write
#   windows     the MinGW-w64 cross compiler, Wine to run the tests, zip
#   web         the web page: clang 19 for wasm32-wasi (lld, wasi-libc, libc++),
#               the browsers of its tests (Chromium, Firefox ESR, WebKitGTK's
#               WebDriver and MiniBrowser on a private X server, the locale
#               sources for its Portuguese), Node.js (when there is no `node`)
# Does nothing (and needs no network) when all are present.
set -euo pipefail

packages=()
for purpose in "${@:-build}"; do
  case $purpose in
    build) packages+=(build-essential cmake ninja-build pkg-config
                      libcli11-dev libspng-dev zlib1g-dev
                      qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
                      qt6-translations-l10n) ;;
    test) packages+=(libgtest-dev libgmock-dev valgrind desktop-file-utils appstream) ;;
    bench) packages+=(libbenchmark-dev hyperfine time xvfb xauth) ;;
    fuzz) packages+=(clang-19 libclang-rt-19-dev) ;;
    format) packages+=(clang-format-19) ;;
    package) packages+=(dpkg-dev fakeroot file lintian man-db debootstrap
                        desktop-file-utils appstream) ;;
    screenshot) packages+=(xvfb xauth xdotool x11-utils imagemagick fonts-dejavu-core openbox) ;;
    cards) packages+=(exfat-fuse exfatprogs fusefat dosfstools strace procps util-linux) ;;
    windows) packages+=(g++-mingw-w64-x86-64-posix wine wine64 zip) ;;
    web) packages+=(clang-19 lld-19 llvm-19 wasi-libc libc++-19-dev-wasm32 libc++abi-19-dev-wasm32
                    libclang-rt-19-dev-wasm32 chromium firefox-esr webkit2gtk-driver xvfb xauth locales python3)
         # A Node.js from elsewhere (version 18 or later) serves as well as Debian's.
         command -v node >/dev/null || packages+=(nodejs npm) ;;
    *) echo "install-deps.sh: unknown purpose '$purpose'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
