#!/usr/bin/env bash
# The restart for huge pages: once (a restart that finds its own setting must not restart again), with
# the arguments as they were and the user's own allocator settings kept; no restart where the user has
# chosen already or where the kernel does not give huge pages on request.
set -u
helper=$1
hint=""
if [[ $(cat /sys/kernel/mm/transparent_hugepage/enabled 2>/dev/null) == *"[madvise]"* ]]; then
    hint="glibc.malloc.hugetlb=1"
fi
failed=0
expect() {  # expect WANTED_TUNABLES ENVIRONMENT...
    local wanted=$1
    shift
    local out
    out=$(env "$@" timeout 10 "$helper" "two words" last)
    local expected
    expected=$(printf 'tunables=%s\narg=two words\narg=last' "$wanted")
    if [[ $out != "$expected" ]]; then
        echo "FAILED with $*: got"$'\n'"$out"$'\n'"wanted"$'\n'"$expected"
        failed=1
    fi
}
expect "glibc.malloc.arena_max=8${hint:+:$hint}" GLIBC_TUNABLES=glibc.malloc.arena_max=8
expect "${hint:-(none)}" -u GLIBC_TUNABLES
expect "glibc.malloc.hugetlb=0" GLIBC_TUNABLES=glibc.malloc.hugetlb=0
exit $failed
