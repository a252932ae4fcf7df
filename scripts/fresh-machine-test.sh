#!/usr/bin/env bash
# Proves the README's Quick start on a minimal Debian 12, as a new user meets it.
#   scripts/fresh-machine-test.sh [--keep]
# Builds a bare root (debootstrap --variant=minbase bookworm) holding nothing
# but a clone of the commit under test, and there, as root:
#   1. the README's run command, on an Xvfb outside the root, until the
#      "Tressmoor" window maps: the run command alone is enough;
#   2. the README's test command, which must pass;
#   3. the run command again, under an Xvfb inside the root, until the
#      window maps;
#   4. make package, which builds the Debian package and checks it with
#      lintian.
# Both commands are read from the README's Quick start, so this checks what
# the README says. Then, in a second bare root where nothing was built:
#   5. apt-get install ./tressmoor_*.deb (without recommended packages, so
#      the package's own dependencies must be enough);
#   6. every program answers --version, man -w finds tressmoor-grow's page,
#      tressmoor-grow and tressmoor-render run from the PATH, and the
#      desktop entry's Exec line maps the window on an Xvfb outside the root;
#   7. apt-get remove leaves none of the package's files.
# Exits non-zero on any failure.
#
# Needs root: it mounts proc, dev and sys in the roots and chroots into them.
# The bare root is cached as a tarball in TRESSMOOR_CACHE (default
# /var/cache/tressmoor), so only the first run downloads it; each run's root
# is made under TRESSMOOR_WORK (default /var/tmp) and removed at the end
# (--keep leaves it for a look inside).
set -euo pipefail

mirror="${TRESSMOOR_MIRROR:-http://deb.debian.org/debian}"
cache="${TRESSMOOR_CACHE:-/var/cache/tressmoor}"
work_parent="${TRESSMOOR_WORK:-/var/tmp}"
run_timeout="${TRESSMOOR_RUN_TIMEOUT:-900}"
keep=no
[ "${1:-}" = "--keep" ] && keep=yes

# The environment of a root shell on a fresh machine: nothing of the caller's.
root_env=(env -i HOME=/root TERM=dumb
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)

say() { echo "fresh-machine-test: $*"; }
elapsed() { printf '%dm %02ds' $(($1 / 60)) $(($1 % 60)); }
fail() {
  say "FAILED: $*, $(elapsed "$SECONDS") in all" >&2
  exit 1
}

[ "$(id -u)" -eq 0 ] || fail "needs root (it mounts file systems and chroots)"
repo="$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)"
commit="$(git -C "$repo" rev-parse HEAD)"
if [ -n "$(git -C "$repo" status --porcelain --untracked-files=no)" ]; then
  say "note: uncommitted changes are not tested, only commit ${commit:0:12}"
fi

# The two indented lines of the Quick start section of the commit's README:
# run first, test second.
mapfile -t commands < <(git -C "$repo" show "$commit:README.md" |
  awk '/^## /{inside = ($0 ~ /^## Quick start/); next}
    inside && /^    [^ ]/ {sub(/^    /, ""); print}')
[ ${#commands[@]} -eq 2 ] ||
  fail "expected two command lines in the README's Quick start, found ${#commands[@]}"
run_command="${commands[0]}"
test_command="${commands[1]}"

mkdir -p "$cache" "$work_parent"
work="$(mktemp -d "$work_parent/tressmoor-fresh.XXXXXX")"
root="$work/root"
started=()

mounts_under() {
  awk -v dir="$1/" 'index($2, dir) == 1 {print $2}' /proc/self/mounts
}

# Unmounts everything below a directory, deepest first, and checks that
# nothing is left mounted there.
unmount_all() {
  local dir="$1" target
  for target in $(mounts_under "$dir" | sort -r); do
    umount "$target" 2>/dev/null || umount -l "$target" || true
  done
  [ -z "$(mounts_under "$dir")" ]
}

# True while a process of the group runs; one that has ended but is not yet
# reaped does not count.
group_running() {
  local group="$1" stat fields
  for stat in /proc/[0-9]*/stat; do
    read -r fields 2>/dev/null <"$stat" || continue
    # After the command name: state, parent, process group.
    read -r -a fields <<<"${fields##*) }"
    [ "${fields[2]}" = "$group" ] && [ "${fields[0]}" != Z ] && return 0
  done
  return 1
}

# Stops what this script started, last first, and nothing else.
stop_started() {
  local pid i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    pid="${started[i]}"
    # Each was started as the leader of its own process group.
    kill -TERM -- "-$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "${started[@]}"; do
    for _ in $(seq 50); do
      group_running "$pid" || break
      sleep 0.2
    done
    kill -KILL -- "-$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  started=()
}

clean_up() {
  local status=$?
  trap - EXIT INT TERM
  stop_started
  if ! unmount_all "$work"; then
    say "still mounted under $work, so nothing there was deleted:" >&2
    mounts_under "$work" >&2
    exit 1
  fi
  if [ "$keep" = yes ]; then
    say "the root is kept in $root"
  else
    rm -rf --one-file-system "$work"
  fi
  exit "$status"
}
stopped() {
  say "FAILED: stopped by $1, $(elapsed "$SECONDS") in all" >&2
  exit "$2"
}
trap clean_up EXIT
trap 'stopped SIGINT 130' INT
trap 'stopped SIGTERM 143' TERM

# Starts a command in the background as the leader of a new process group,
# so that stopping the group stops everything it started.
start() {
  setsid "$@" &
  started+=($!)
}

# Waits for the command started last; whatever it left running is stopped.
finish() {
  local status=0
  wait "${started[-1]}" || status=$?
  stop_started
  return "$status"
}

in_root=(chroot "$root" "${root_env[@]}")

# What this script itself uses on the host.
host_missing=()
for pair in debootstrap:debootstrap Xvfb:xvfb xdotool:xdotool; do
  command -v "${pair%%:*}" >/dev/null || host_missing+=("${pair#*:}")
done
if [ ${#host_missing[@]} -gt 0 ]; then
  say "installing ${host_missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${host_missing[@]}"
fi

tarball="$cache/bookworm-minbase.tar.gz"
if [ ! -f "$tarball" ]; then
  say "building the bare root with debootstrap (cached afterwards as $tarball)"
  start debootstrap --variant=minbase bookworm "$work/bare" "$mirror"
  finish || fail "debootstrap failed"
  unmount_all "$work/bare" || fail "debootstrap left file systems mounted in $work/bare"
  # The packages it downloaded are installed; a bare machine keeps no copies.
  rm -f "$work/bare/var/cache/apt/archives/"*.deb
  tar --numeric-owner -C "$work/bare" -czf "$tarball.part" .
  mv "$tarball.part" "$tarball"
  rm -rf --one-file-system "$work/bare"
fi

# Unpacks a bare root into a new folder and mounts proc, dev and sys in it.
unpack_root() {
  mkdir "$1"
  tar --numeric-owner -C "$1" -xzf "$tarball" ||
    fail "cannot unpack $tarball; remove it to build the bare root again"
  # The network's own settings, as every machine on it has them: its name
  # servers, and the certificate authorities its HTTPS proxy signs with, if
  # any (ca-certificates adds these to the bundle when the root installs it).
  cp -L /etc/resolv.conf "$1/etc/resolv.conf"
  if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
    mkdir -p "$1/usr/local/share/ca-certificates"
    cp -L /usr/local/share/ca-certificates/*.crt "$1/usr/local/share/ca-certificates/"
  fi
  mount -t proc proc "$1/proc"
  # With /dev/pts and /dev/shm; as a slave, so nothing done there reaches the host.
  mount --rbind /dev "$1/dev"
  mount --make-rslave "$1/dev"
  mount --bind /sys "$1/sys"
}

unpack_root "$root"
git clone --quiet --no-checkout "$repo" "$root/root/tressmoor"
git -C "$root/root/tressmoor" checkout --quiet --detach "$commit"
say "commit ${commit:0:12} cloned into a bare Debian 12 root in $root"

# Starts an Xvfb through the given command prefix and sets display to it.
# Its number is the one the server finds free; it writes it when ready.
start_xvfb() {
  local display_file="$work/display-${#started[@]}-$SECONDS"
  start "$@" Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    3>"$display_file" 2>"$display_file.log"
  for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    group_running "${started[-1]}" || fail "Xvfb did not start: $(cat "$display_file.log")"
    sleep 0.1
  done
  [ -s "$display_file" ] || fail "Xvfb did not report its display"
  display=":$(head -n 1 "$display_file")"
}

# Runs a command in a root (the first argument) on the display, waits until
# the Tressmoor window maps there (asking the xdotool that the prefix after
# the command reaches), then stops everything started so far. Sets run_time.
run_until_mapped() {
  local phase_start=$SECONDS pid in_dir="$1" command="$2"
  shift 2
  say "running on display $display: $command"
  start chroot "$in_dir" "${root_env[@]}" DISPLAY="$display" bash -c "$command" 2>&1
  pid="${started[-1]}"
  until "$@" DISPLAY="$display" xdotool search --onlyvisible --name '^Tressmoor$' >/dev/null 2>&1; do
    group_running "$pid" || fail "\"$command\" ended before a Tressmoor window mapped"
    [ $((SECONDS - phase_start)) -lt "$run_timeout" ] ||
      fail "no Tressmoor window mapped within $(elapsed "$run_timeout")"
    sleep 1
  done
  run_time=$((SECONDS - phase_start))
  say "the Tressmoor window mapped after $(elapsed "$run_time")"
  stop_started
}

# First the run command alone on the bare root, on a display served from
# outside it (the root shares the host's abstract socket namespace), so the
# root holds only what that command installed.
start_xvfb env
run_until_mapped "$root" "cd /root/tressmoor && $run_command" env
bare_run_time=$run_time

log="$work/test.log"
say "running the test command: $test_command"
phase_start=$SECONDS
start "${in_root[@]}" bash -c "cd /root/tressmoor && $test_command" > >(tee "$log") 2>&1
finish || fail "the test command failed after $(elapsed $((SECONDS - phase_start)))"
test_time=$((SECONDS - phase_start))
suite_line="$(grep -E 'tests passed, [0-9]+ tests failed out of' "$log" | tail -n 1 || true)"

# Then the run command again, under an Xvfb inside the root.
start_xvfb "${in_root[@]}"
run_until_mapped "$root" "cd /root/tressmoor && $run_command" "${in_root[@]}"
after_tests_run_time=$run_time

# The package, from the build the test command left.
say "building the package: make package"
phase_start=$SECONDS
start "${in_root[@]}" bash -c "cd /root/tressmoor && make package" > >(tee "$work/package.log") 2>&1
finish || fail "make package failed after $(elapsed $((SECONDS - phase_start)))"
package_time=$((SECONDS - phase_start))
lintian_warnings="$(grep -c '^W: ' "$work/package.log" || true)"
debs=("$root"/root/tressmoor/build/tressmoor_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "make package left no single tressmoor_*.deb"
deb="$(basename "${debs[0]}")"

# A second bare root, where nothing was built: the package as a user installs it.
root2="$work/root2"
in_root2=(chroot "$root2" "${root_env[@]}")
phase_start=$SECONDS
unpack_root "$root2"
cp "${debs[0]}" "$root2/root/"
say "installing $deb in a second bare root in $root2"
start "${in_root2[@]}" bash -c "cd /root && apt-get update -qq &&
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ./$deb" 2>&1
finish || fail "apt-get install ./$deb failed in the second root"
# man-db is the check's, to ask where the page is; the package does not need it.
start "${in_root2[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends man-db >/dev/null 2>&1
finish || fail "apt-get install man-db failed in the second root"
mapfile -t package_paths < <("${in_root2[@]}" dpkg-query -L tressmoor)

start "${in_root2[@]}" bash -euc '
  version="$(dpkg-query -W -f="\${Version}" tressmoor)"
  for program in tressmoor tressmoor-grow tressmoor-render tressmoor-convert; do
    said="$("$program" --version)"
    [ "$said" = "$program $version" ] || { echo "$program --version said \"$said\"" >&2; exit 1; }
  done
  echo "every program answers --version: $version"
  echo "man -w tressmoor-grow: $(man -w tressmoor-grow)"
  mkdir /tmp/from-path && cd /tmp/from-path
  tressmoor-grow --shape sphere --out x.hair
  tressmoor-render --shape sphere --image x.png
  [ -s x.hair ] && [ -s x.png ]' > >(sed 's/^/  /') 2>&1
finish || fail "the installed programs failed their checks in the second root"

entry="$(printf '%s\n' "${package_paths[@]}" | grep '^/usr/share/applications/.*\.desktop$' || true)"
[ -n "$entry" ] || fail "the package holds no desktop entry"
# The Exec line without the field codes a launcher fills in (the entry has none).
exec_line="$(sed -n 's/^Exec=//p' "$root2$entry" | head -n 1 | sed 's/ *%[a-zA-Z]//g')"
[ -n "$exec_line" ] || fail "$entry has no Exec line"
start_xvfb env
run_until_mapped "$root2" "cd /root && $exec_line" env
entry_run_time=$run_time

start "${in_root2[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tressmoor >/dev/null 2>&1
finish || fail "apt-get remove tressmoor failed"
# What stays must be a folder that something else fills or another package owns.
left=()
for path in "${package_paths[@]}"; do
  [ -e "$root2$path" ] || [ -L "$root2$path" ] || continue
  if [ -d "$root2$path" ] && [ ! -L "$root2$path" ]; then
    [ -n "$(ls -A "$root2$path")" ] && continue
    "${in_root2[@]}" dpkg-query -S "$path" >/dev/null 2>&1 && continue
  fi
  left+=("$path")
done
[ ${#left[@]} -eq 0 ] || fail "apt-get remove left ${left[*]}"
second_root_time=$((SECONDS - phase_start))

say "run command on the bare root: window mapped after $(elapsed "$bare_run_time")"
say "test command passed in $(elapsed "$test_time")${suite_line:+ ($suite_line)}"
say "run command after the tests: window mapped after $(elapsed "$after_tests_run_time")"
say "make package: $deb in $(elapsed "$package_time"), lintian: no error, $lintian_warnings warnings"
say "second bare root: installed, checked, window mapped from $entry" \
  "after $(elapsed "$entry_run_time"), removed without a trace, $(elapsed "$second_root_time")"
say "PASSED: the README's Quick start and the package work on a minimal Debian 12," \
  "$(elapsed "$SECONDS") in all"
