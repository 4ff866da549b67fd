#!/bin/bash
# `cmake --install` lays out bin/skelvar and the manual page; the installed program names its version.
set -euo pipefail
build=$1
prefix=$(mktemp -d /tmp/skelvar-install.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/skelvar" || { echo "no bin/skelvar"; exit 1; }
cmp "$prefix/share/man/man1/skelvar.1" "$(dirname "$0")/../docs/skelvar.1"
line=$("$prefix/bin/skelvar" -version)
[[ $line =~ ^skelvar\ ver:\ [0-9.]+$ ]] || { echo "-version wrote: $line"; exit 1; }
echo "installed: $line"
