#!/usr/bin/env bash
# Builds the programs if needed and starts the editor: ./run.sh [document...]
# The current folder is left as it is, so that relative document paths mean what they say.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/tools/setup.sh"
"$root/tools/build.sh" build -- Kelpa32
exec "$root/build/bin/Kelpa32" "$@"
