#!/usr/bin/env bash
# Builds Kelpa if needed and starts the editor: ./run.sh [document...]
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
./tools/build.sh build
if [[ -x build/bin/Kelpa32 ]]; then
  exec build/bin/Kelpa32 "$@"
fi
echo "Kelpa is built (build/bin); the editor program is not part of this build yet."
