#!/usr/bin/env bash
# apt-install-missing.sh WHO PACKAGE...: installs those of the Debian packages that are
# not installed yet, as root or through sudo, so a second run costs a dpkg query and
# nothing more. WHO names the caller in the messages.
set -euo pipefail
who=$1
shift

missing=()
for p in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "$who: all its packages are present"
  exit 0
fi

echo "$who: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "$who: need root or sudo to install: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
