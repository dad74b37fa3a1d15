# Sourced by the set-up scripts.

# Runs a command as root: directly when we are root, else through sudo.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

# Installs those of the Debian packages that are not installed yet, with
# apt-get. When every package is there it costs one dpkg query per package
# and touches nothing, not even the package lists.
#   install_missing_packages WHO PACKAGE...
# WHO prefixes the message that names what is installed.
install_missing_packages() {
  local who=$1
  shift
  local missing=() package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi

  echo "$who: installing ${missing[*]}"
  # env passes the setting through sudo, which clears the environment.
  local apt=(as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900)
  "${apt[@]}" update -q
  "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
}
