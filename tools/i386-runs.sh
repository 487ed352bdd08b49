#!/usr/bin/env bash
# Exits 0 when this machine can start i386 programs. Some kernels have IA-32
# emulation off, and every i386 program then fails with "Exec format error";
# wine32 cannot start there at all. A tiny static program built with binutils
# tells the two kinds apart.
# QUILLMOOR_NO_I386=1 makes it say no, to try the skip path on a machine that
# does run them.
set -u
[ -z "${QUILLMOOR_NO_I386:-}" ] || exit 1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat >"$dir/p.s" <<'ASM'
.globl _start
_start: movl $1, %eax
        movl $42, %ebx
        int $0x80
ASM
as --32 "$dir/p.s" -o "$dir/p.o" 2>/dev/null && ld -m elf_i386 "$dir/p.o" -o "$dir/p" 2>/dev/null || exit 1
"$dir/p" 2>/dev/null
[ $? -eq 42 ]
