#!/usr/bin/env bash
# Installs, from the npm registry, the independent checker the tests run on
# exported files: the BIDS validator, at the version the tests expect, into
# build/tools (never globally), and only when it is missing. Node.js and npm
# come from Debian's archive when the machine lacks them.
# Prints the validator's path.
set -euo pipefail
cd "$(dirname "$0")/.."
version=1.15.0
tools="$PWD/build/tools"
validator="$tools/node_modules/.bin/bids-validator"

installed_version() {
  node -e "console.log(require('$tools/node_modules/bids-validator/package.json').version)" 2>/dev/null || true
}

if [ ! -x "$validator" ] || [ "$(installed_version)" != "$version" ]; then
  if ! command -v npm >/dev/null 2>&1; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "ensure-node-tools: npm is missing and needs root to install (Debian packages nodejs npm)" >&2
      exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q >&2
    apt-get install -y -q nodejs npm >&2
  fi
  mkdir -p "$tools"
  echo "ensure-node-tools: installing bids-validator $version into $tools" >&2
  npm install --no-audit --no-fund --loglevel=error --prefix "$tools" "bids-validator@$version" >&2
fi
echo "$validator"
