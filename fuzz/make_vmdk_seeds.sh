#!/bin/bash
# Remakes the seeds of the VMDK harnesses: small extents from qemu-img and qemu-io (a base with one written
# grain and a child over it) for fuzz_vmdk_extent, and descriptor sets for fuzz_vmdk_chain.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
extent=$here/seeds_vmdk_extent
chain=$here/seeds_vmdk_chain
mkdir -p "$extent" "$chain"
work=$(mktemp -d /tmp/skelvar-vmdk-seeds.XXXXXX)
trap 'rm -rf "$work"' EXIT

qemu-img create -q -f vmdk "$work/base.vmdk" 1M
qemu-io -c 'write -P 0x5a 70000 3000' "$work/base.vmdk" >/dev/null
qemu-img create -q -f vmdk -b base.vmdk -F vmdk "$work/child.vmdk"
qemu-io -c 'write -P 0x41 0 512' "$work/child.vmdk" >/dev/null
cp "$work/base.vmdk" "$extent/base.vmdk"
cp "$work/child.vmdk" "$extent/child.vmdk"

base='# Disk DescriptorFile\nversion=1\nCID=0000000a\nparentCID=ffffffff\ncreateType="monolithicSparse"\n'
child='# Disk DescriptorFile\nversion=1\nCID=0000000b\nparentCID=0000000a\ncreateType="monolithicSparse"\nparentFileNameHint="base.vmdk"\n'
grandchild='CID=0000000C\r\nparentCID=0000000B\r\nencoding="windows-1252"\r\nparentFileNameHint="C:\\VMs\\disk-000001.vmdk"\r\n'
printf "$base" > "$chain/base.txt"
printf "$child\0$base" > "$chain/child_base.txt"
printf "$base\0$grandchild\0$child" > "$chain/three.txt"
printf "$child\0$child" > "$chain/twins.txt"
ls -l "$extent" "$chain"
