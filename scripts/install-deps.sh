#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Talvoro
# need, and only those that are missing. Idempotent; uses sudo when not root.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libxcb1-dev
    libespeak-ng-dev libasound2-dev libcanberra-dev
    libssl-dev libgmime-3.0-dev libspeechd-dev qtkeychain-qt6-dev
    # run
    espeak-ng sound-theme-freedesktop qt6-qpa-plugins libqt6svg6
    speech-dispatcher speech-dispatcher-espeak-ng xdg-utils
    # test
    libgtest-dev libgmock-dev dovecot-core dovecot-imapd dovecot-pop3d dnsmasq-base faketime
    nftables
    xvfb xauth trayer imagemagick sox python3 openssl x11-utils openbox
    dbus dbus-x11 gnome-keyring libsecret-tools libnotify-bin python3-gi gir1.2-glib-2.0
    libglib2.0-bin gsettings-desktop-schemas
    desktop-file-utils appstream lintian dpkg-dev man-db file
    clang libclang-rt-14-dev
)
if [[ "${1:-}" == "--print" ]]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
