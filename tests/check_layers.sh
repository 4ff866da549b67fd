#!/usr/bin/env bash
# Fails when a source folder includes a folder to its right in
#   support <- volume <- ntfs <- select <- report <- app
# Usage: tests/check_layers.sh <src dir>
set -euo pipefail
src=${1:?usage: check_layers.sh <src dir>}
layers=(support volume ntfs select report app)
bad=0
for ((i = 0; i < ${#layers[@]}; i++)); do
    layer=${layers[i]}
    [[ -d $src/$layer ]] || continue
    upper=("${layers[@]:i+1}")
    ((${#upper[@]})) || continue
    pattern=$(IFS='|'; echo "${upper[*]}")
    if hits=$(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]+\"($pattern)/" -r "$src/$layer"); then
        echo "upward include in $layer/ (it may include only ${layers[*]:0:i+1}):"
        echo "$hits"
        bad=1
    fi
done
if ((bad)); then
    echo "LAYER CHECK FAILED"
    exit 1
fi
echo "layers ok: ${layers[*]}"
