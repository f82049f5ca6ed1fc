#!/usr/bin/env bash
# Installs the Debian 12 packages Mofurin needs. "run" is enough to build and start the kitten;
# "package" adds what building the Debian package needs; "test" adds everything the test suite
# starts (Xvfb, openbox, Dovecot, PulseAudio, D-Bus mock, GNOME Keyring, fonts), the package
# checks and the fuzzing and benchmark tools. Only missing packages are installed; as a normal
# user the script prints the one apt-get line to run instead. libsecret is what QtKeychain loads
# at run time to reach the Secret Service (GNOME Keyring, KeePassXC).
set -euo pipefail

run_packages=(
    cmake g++ make pkg-config libx11-dev libxext-dev
    qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins qt6-translations-l10n
    qt6-tools-dev qt6-l10n-tools
    libsndfile1-dev
    fonts-noto-cjk
    pulseaudio-utils
    qtkeychain-qt6-dev libsecret-1-0
)
package_packages=(
    dpkg-dev file
)
test_packages=(
    "${package_packages[@]}"
    desktop-file-utils appstream util-linux
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    xvfb xauth openbox xdotool x11-utils x11-xserver-utils imagemagick
    dovecot-core dovecot-pop3d dovecot-imapd openssl
    pulseaudio sox
    dbus python3 python3-dbusmock
    gnome-keyring libsecret-tools libglib2.0-dev
    librsvg2-bin
)

packages=("${run_packages[@]}")
case "${1:-run}" in
package) packages+=("${package_packages[@]}") ;;
test) packages+=("${test_packages[@]}") ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Mofurin needs these Debian packages. Please run:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
# The Debian package starts a system-wide Dovecot on ports 110/995; the tests run their own.
if printf '%s\n' "${missing[@]}" | grep -q '^dovecot'; then
    (systemctl disable --now dovecot 2>/dev/null || service dovecot stop 2>/dev/null || true) >/dev/null
fi
