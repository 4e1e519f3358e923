# Shared by the scripts that build Velmora for Windows on Debian; sourced, not run.

# The cache folder for builds that are made once: $1 when given (the caller's override),
# else /var/cache/velmora as root, else $XDG_CACHE_HOME/velmora or ~/.cache/velmora.
velmora_cache_folder() {
  if [ -n "${1:-}" ]; then
    echo "$1"
  elif [ "$(id -u)" -eq 0 ]; then
    echo /var/cache/velmora
  else
    echo "${XDG_CACHE_HOME:-$HOME/.cache}/velmora"
  fi
}

# install_missing WHO PACKAGE...: installs the packages as root; otherwise names them and
# fails. Nothing to do without packages.
install_missing() {
  local who="$1"
  shift
  [ $# -gt 0 ] || return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "$who: install first: sudo apt-get install -y $*" >&2
    return 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
}

# fetch_debian_sources WHO FOLDER PACKAGE=VERSION...: the Debian source packages into
# FOLDER. apt-get source needs a deb-src entry: where there is none, the twin of each of the
# machine's own Debian entries is added (root only).
fetch_debian_sources() {
  local who="$1" folder="$2"
  shift 2
  (cd "$folder" && apt-get source --download-only "$@" >&2 2>/dev/null) && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "$who: apt-get source $* failed: add a deb-src entry for your Debian suites, then apt-get update" >&2
    return 1
  fi
  echo "$who: adding deb-src entries for the machine's Debian suites" >&2
  "$(dirname "${BASH_SOURCE[0]}")/deb-src.sh" >&2
  apt-get update -qq >&2
  (cd "$folder" && apt-get source --download-only "$@" >&2)
}

# without_address_randomization WHO SCRIPT ARGS...: runs SCRIPT again under `setarch -R`
# unless address randomization is already off (every program it starts inherits that).
# Debian's Wine has no preloader, and with randomization about one Windows process start in
# several thousand ends at once: its heap took the address of the shared user data (see
# docs/windows.md, "Tested under Wine").
without_address_randomization() {
  local who="$1" personality
  shift
  personality=$(cat /proc/self/personality 2>/dev/null || echo 0)
  (((0x$personality & 0x0040000) == 0)) || return 0   # ADDR_NO_RANDOMIZE
  if setarch "$(uname -m)" -R true 2>/dev/null; then
    echo "$who: Wine runs without address randomization (setarch -R)" >&2
    exec setarch "$(uname -m)" -R "$BASH" "$@"
  fi
  echo "$who: setarch -R is refused here: a Wine process may now and then fail to start" >&2
}
