#!/usr/bin/env bash
# Installs the glTF validator and three.js at the versions tests/clients/package-lock.json
# pins (npm ci, from the npm registry) into TOOLS_DIR/node_modules, where the
# clients tests run it.
set -euo pipefail
source=${1:?usage: install-validator.sh SOURCE_DIR TOOLS_DIR}
tools=${2:?usage: install-validator.sh SOURCE_DIR TOOLS_DIR}
mkdir -p "$tools"
cp "$source/package.json" "$source/package-lock.json" "$tools/"
cd "$tools"
npm ci --no-audit --no-fund --loglevel=error
