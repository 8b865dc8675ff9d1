#!/usr/bin/env bash
# The Debian package installs with dpkg into a root of its own (an overlay of this machine's root in a private mount
# namespace, so the machine itself is not touched), and the installed `parlune` starts there from the PATH and
# answers on its ports inside a lab network. Everything the running program loaded must come from the package's
# dependencies or theirs. A fresh debootstrap would show the same of a bare Debian 12 but takes minutes; the closure
# check stands in for it. Usage: test_package.sh <build dir> <source dir>; 77 without root, namespaces, overlayfs,
# dpkg or cpack.
if [ "${1:-}" = --root ]; then
    # Inside the private mount namespace: $2 the scratch folder, $3 the package. Ends as the installed program.
    set -eu
    work=$2 root=$2/root layer=$2/layer
    mkdir -p "$root" "$layer"
    mount -t tmpfs tmpfs "$layer"
    mkdir "$layer/upper" "$layer/work"
    mount -t overlay overlay -o "lowerdir=/,upperdir=$layer/upper,workdir=$layer/work" "$root"
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mkdir -p "$root/home/pl"
    mount --bind "$work/home" "$root/home/pl"
    ! chroot "$root" dpkg-query -W parlune >/dev/null 2>&1 || { echo "parlune is installed on this machine"; exit 1; }
    cp "$3" "$root/var/tmp/parlune.deb"
    chroot "$root" dpkg -i /var/tmp/parlune.deb
    chroot "$root" dpkg -L parlune >"$work/home/files"
    echo "installed"
    # Nothing of the build tree or this shell's settings: the program finds its libraries and plugins as installed.
    exec chroot "$root" env -i PATH=/usr/bin:/bin HOME=/home/pl XDG_CONFIG_HOME=/home/pl/config \
        XDG_RUNTIME_DIR=/home/pl/run PARLUNE_AUTOMATION=/home/pl/automation/socket QT_QPA_PLATFORM=offscreen \
        PARLUNE_DRY_POWER_OFF=1 PARLUNE_NO_VOICE=1 parlune
fi

for tool in dpkg dpkg-deb dpkg-architecture cpack unshare chroot ldd; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
[ -x "$1/parlune" ] || { echo "skipped: parlune not built"; exit 77; }
source "$2/tests/lab/labtest.sh" "$@"
unshare -m sh -c "mount -t tmpfs tmpfs '$work' && mkdir '$work/u' '$work/w' '$work/r' &&
    mount -t overlay overlay -o lowerdir=/,upperdir='$work/u',workdir='$work/w' '$work/r'" 2>/dev/null ||
    { echo "skipped: no overlay mounts"; exit 77; }

# The package of the program as built; cpack takes seconds, so a stale or missing one is made here.
deb=$(ls -t "$build"/parlune_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ] || [ "$build/parlune" -nt "$deb" ]; then
    (cd "$build" && cpack -G DEB) >"$work/cpack.log" 2>&1 || fail "cpack failed"
    deb=$(ls -t "$build"/parlune_*.deb | head -n 1)
fi
depends=$(dpkg-deb -f "$deb" Depends)

mkdir -m 700 "$work/home" "$work/home/run" "$work/home/automation"
netlab_init
netlab_add_host a 10.77.0.1
netlab_add_host b 10.77.0.2
netlab_spawn a "$work/parlune.log" unshare -m bash "$0" --root "$work" "$deb"
pid=$NETLAB_LAST_PID
wait_for_line "$work/parlune.log" '^installed' || fail "dpkg -i failed"
socket="$work/home/automation/socket"
labtool() { "$python" "$here/labtool.py" "$@"; }
labtool wait-ready "$socket" 30 || fail "the installed program did not start"
for f in /usr/bin/parlune /usr/share/applications/parlune.desktop /usr/share/icons/hicolor/48x48/apps/parlune.png \
    /usr/share/parlune/Helper.acs /usr/share/parlune/autostart/parlune.desktop /usr/share/doc/parlune/copyright; do
    grep -qx "$f" "$work/home/files" || fail "the package does not install $f"
done

# UDP 6543: an announcement from b puts b into the friend table; TCP 3289: a notice from b is shown.
netlab_exec b "$python" "$here/labtool.py" send-udp 6543 "$(hex '\b1\b10.77.0.2\bpackaged\b\b')"
labtool wait-listed "$socket" 20 10.77.0.2 yes || fail "no answer on UDP 6543"
netlab_exec b "$python" "$here/labtool.py" send-tcp 10.77.0.1 "hex:$(hex '\b8\bLAB\b{\\rtf1 hello}\b')"
labtool wait-notices "$socket" 20 1 LAB || fail "no answer on TCP 3289"

# "自動運行" writes the entry the package carries as its template, byte for byte.
labtool ask "$socket" '{"cmd":"trigger","name":"MenuItem_AutoRun"}' >/dev/null
entry="$work/home/config/autostart/parlune.desktop"
for ((i = 0; i < 100; i++)); do [ -s "$entry" ] && break; sleep 0.1; done
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/parlune/autostart/parlune.desktop >"$work/template"
cmp "$entry" "$work/template" || fail "the autostart entry differs from the template: $(cat "$entry")"

# Every shared object the program has loaded, or would load on a desktop, belongs to a package its Depends reach.
# Seen from here, the paths lie under the root's mount point.
grep -o '/[^ ]*\.so[.0-9]*$' "/proc/$pid/maps" | sed "s|^$work/root/|/|" | sort -u >"$work/loaded"
grep -q 'libqoffscreen\.so' "$work/loaded" || fail "the platform plugin was not loaded: $(cat "$work/loaded")"
# On a desktop it loads the X11 platform plugin instead, and the history's SQLite driver once it is used.
plugins=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/qt6/plugins
for plugin in "$plugins/platforms/libqxcb.so" "$plugins/sqldrivers/libqsqlite.so"; do
    [ -e "$plugin" ] || fail "$plugin is not installed"
    echo "$plugin"
    ldd "$plugin" | grep -o '/[^ ]*\.so[.0-9]*'
done >>"$work/loaded"
"$python" - "$depends" "$work/loaded" <<'EOF' || fail "a loaded library comes from no dependency"
import glob, os, re, sys

def names(field):
    return [re.split(r"[ (:]", alternative.strip())[0] for part in field.split(",") if part.strip()
            for alternative in part.split("|")]

depends, provides, owner = {}, {}, {}
for stanza in open("/var/lib/dpkg/status", encoding="utf-8").read().split("\n\n"):
    fields = dict(re.findall(r"^([\w-]+): (.*)$", stanza, re.M))
    if "install ok installed" not in fields.get("Status", ""):
        continue
    package = fields["Package"]
    depends[package] = names(fields.get("Depends", "") + "," + fields.get("Pre-Depends", ""))
    for virtual in names(fields.get("Provides", "")):
        provides.setdefault(virtual, []).append(package)
for listing in glob.glob("/var/lib/dpkg/info/*.list"):
    package = os.path.basename(listing)[:-5].split(":")[0]
    for path in open(listing, encoding="utf-8", errors="replace"):
        owner[path.rstrip("\n")] = package

reached, todo = set(), names(sys.argv[1])
while todo:
    package = todo.pop()
    if package in reached:
        continue
    reached.add(package)
    todo += depends.get(package, []) + provides.get(package, [])
missing = []
for path in open(sys.argv[2]).read().split():
    # Debian 12 merged /lib into /usr/lib, but packages still list many files under /lib.
    candidates = [path, re.sub(r"^/usr/lib/", "/lib/", path), os.path.realpath(path)]
    package = next((owner[c] for c in candidates if c in owner), None)
    if package is None or package not in reached:
        missing.append("%s (%s)" % (path, package))
if missing:
    print("outside the dependencies:", *missing, sep="\n  ", file=sys.stderr)
    sys.exit(1)
EOF
echo PASS
