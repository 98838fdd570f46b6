#!/usr/bin/env bash
# Builds the programs if needed and starts the editor: ./run.sh [document...]
# The current folder is left as it is, so that relative document paths mean what they say.
# The editor comes from the normal build, the same build ./test.sh makes.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/tools/setup.sh"
"$root/tools/build.sh" --preset normal -- Kelpa32
exec "$root/build/bin/Kelpa32" "$@"
