#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the README's promise that `make test` works on a fresh Debian 12: builds a minimal
# Debian 12 (debootstrap --variant=minbase, plus make) in a temporary directory, clones this
# repository's committed HEAD into it and runs `make test` there in a chroot as root, which
# installs everything else through scripts/deps.sh. Reports how long each step took.
#
# Needs root (it asks sudo otherwise), network access to the Debian mirror and about 5 GB in
# FRESH_DIR; takes many minutes. Run it whenever a change touches dependencies; it is not part of
# CI. Uncommitted changes are not tested.
#
#   scripts/test-fresh.sh          (make test-fresh)
#
# Environment: MIRROR (default http://deb.debian.org/debian), SECURITY_MIRROR (default
# http://deb.debian.org/debian-security), FRESH_DIR (where the temporary directory goes, default
# /var/tmp), KEEP=1 keeps the tree afterwards (its mounts are removed all the same).
set -euo pipefail

suite=bookworm
mirror=${MIRROR:-http://deb.debian.org/debian}
security_mirror=${SECURITY_MIRROR:-http://deb.debian.org/debian-security}
here=$(cd "$(dirname "$0")" && pwd)
# Root reads a repository another user owns.
git() { command git -c safe.directory='*' "$@"; }
repo=$(git -C "$here/.." rev-parse --show-toplevel)

if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=MIRROR,SECURITY_MIRROR,FRESH_DIR,KEEP "$0" "$@"
fi

"$here/deps.sh" fresh

head=$(git -C "$repo" rev-parse HEAD)
if [ -n "$(git -C "$repo" status --porcelain --untracked-files=no)" ]; then
    echo "test-fresh: uncommitted changes in $repo are not part of this test"
fi

started=$(date +%s)
step_started=$started
timings=()
step_done() { # step_done NAME
    local now
    now=$(date +%s)
    timings+=("$1 $(elapsed $((now - step_started)))")
    step_started=$now
}
elapsed() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

tmp=$(mktemp -d "${FRESH_DIR:-/var/tmp}/voxlane-fresh.XXXXXX")
root=$tmp/root
mounted=() # mount points inside the chroot, in the order they were mounted

mount_in() { # mount_in TARGET MOUNT-ARGS...: mounts on $root/TARGET and remembers it
    local target=$root/$1
    shift
    mkdir -p "$target"
    mount "$@" "$target" || return 1
    mounted+=("$target")
}

# Processes still running inside the chroot (a daemon a test left behind) keep its mounts busy.
stop_chroot_processes() {
    local pids=() link pid
    for link in /proc/[0-9]*/root; do
        pid=${link#/proc/}
        pid=${pid%/root}
        [ "$(readlink "$link" 2>/dev/null)" = "$root" ] && pids+=("$pid")
    done
    [ ${#pids[@]} -gt 0 ] || return 0
    echo "test-fresh: stopping processes left in the chroot: ${pids[*]}"
    kill -TERM "${pids[@]}" 2>/dev/null || true
    sleep 2
    kill -KILL "${pids[@]}" 2>/dev/null || true
}

cleanup() {
    local status=$? i
    trap - EXIT INT TERM HUP
    stop_chroot_processes
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount --recursive "${mounted[i]}" 2>/dev/null || umount --recursive --lazy "${mounted[i]}" ||
            echo "test-fresh: could not unmount ${mounted[i]}" >&2
    done
    if grep -q " $tmp/" /proc/self/mountinfo; then
        echo "test-fresh: something is still mounted under $tmp; leaving it there" >&2
    elif [ "${KEEP:-0}" = 1 ]; then
        echo "test-fresh: the tree stays in $root"
    else
        rm -rf --one-file-system "$tmp"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

echo "test-fresh: Debian 12 ($suite, minbase) into $root"
debootstrap --variant=minbase --include=make "$suite" "$root" "$mirror" >"$tmp/debootstrap.log" 2>&1 || {
    tail -n 30 "$tmp/debootstrap.log"
    echo "test-fresh: debootstrap failed" >&2
    exit 1
}
# A fresh installation has the updates and the security archive too, and a resolver.
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb $security_mirror $suite-security main
EOF
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
step_done debootstrap

git clone --quiet --no-hardlinks "$repo" "$root/root/voxlane"
git -C "$root/root/voxlane" checkout --quiet --detach "$head"
echo "test-fresh: cloned $head"
step_done clone

# What a running system has: processes, devices (with their own pseudo-terminals and shared
# memory), and the kernel's view of the hardware. /dev is made a slave so that nothing mounted
# below it reaches the real /dev.
mount_in proc -t proc proc
mount_in sys -t sysfs -o ro,nosuid,nodev,noexec sysfs 2>/dev/null || {
    mount_in sys --rbind /sys && mount --make-rslave "$root/sys"
}
mount_in dev --bind /dev
mount --make-rslave "$root/dev"
mount_in dev/pts --bind /dev/pts
mount_in dev/shm -t tmpfs -o mode=1777,nosuid,nodev shm

echo "test-fresh: make test in the chroot"
status=0
chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -c 'cd /root/voxlane && make test' || status=$?
step_done "make test"

total=$(elapsed $(($(date +%s) - started)))
echo "test-fresh: ${timings[*]/%/,} total $total"
if [ "$status" = 0 ]; then
    echo "test-fresh: passed ($head)"
else
    echo "test-fresh: make test failed with status $status ($head)" >&2
fi
exit "$status"
