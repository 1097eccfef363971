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
