# Installs the Debian packages named as arguments that are not installed yet.
# Sourced by the other scripts. On a fresh machine an automatic update often
# holds the package manager's lock for minutes: apt-get waits for it, up
# to 15 minutes, instead of failing.
apt_lock_wait=(-o DPkg::Lock::Timeout=900)
need_packages() {
    local missing=()
    for package in "$@"; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get "${apt_lock_wait[@]}" update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get "${apt_lock_wait[@]}" install -y --no-install-recommends "${missing[@]}"
}

# Sets debian_source_apt to the apt-get options that fetch Debian's own
# source packages through a source list of its own under ROOT, made from
# the system's sources and updated once; the system's apt configuration
# is not changed.
use_debian_sources() {
    local root="$1"
    debian_source_apt=("${apt_lock_wait[@]}" -o Dir::Etc::SourceList="$root/source.list" -o Dir::Etc::SourceParts="$root/parts"
        -o Dir::State::Lists="$root/lists" -o Dir::Cache="$root/cache")
    [ -f "$root/updated" ] && return 0
    need_packages dpkg-dev
    mkdir -p "$root/parts" "$root/lists/partial" "$root/cache/archives/partial"
    local list
    for list in /etc/apt/sources.list.d/*.sources; do
        [ -f "$list" ] && sed 's/^Types: deb$/Types: deb-src/' "$list" >"$root/parts/$(basename "$list")"
    done
    touch "$root/source.list"
    [ -f /etc/apt/sources.list ] && sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$root/source.list"
    apt-get "${debian_source_apt[@]}" update >"$root/apt.log" 2>&1
    touch "$root/updated"
}
