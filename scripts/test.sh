#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
bash scripts/check-format.sh
# Tests run under AddressSanitizer and UndefinedBehaviorSanitizer; the run
# command keeps an optimised build without them.
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DVELLUMARK_SANITIZE=ON -Wno-dev
cmake --build build-test
cd build-test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j2
