#!/bin/sh
# Installs Debian packages (as root) without starting any service they bring, and leaves the
# MQTT broker's unit disabled: the tests start a broker of their own on a free loopback port,
# and nothing may listen on port 1883 that the user did not start.
#   scripts/install-debs.sh PACKAGE...
# While apt-get runs, /usr/sbin/policy-rc.d answers 101 ("action forbidden"), which
# invoke-rc.d and deb-systemd-invoke obey; a policy already in place is kept aside and put
# back afterwards.
set -eu
policy=/usr/sbin/policy-rc.d
saved=$policy.tarn-saved
[ ! -e "$policy" ] || mv "$policy" "$saved"
restore() { rm -f "$policy"; [ ! -e "$saved" ] || mv "$saved" "$policy"; }
trap restore EXIT
trap 'exit 1' INT TERM
printf '#!/bin/sh\nexit 101\n' > "$policy"
chmod 755 "$policy"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@"

# The package enables its unit for the next boot; this machine's broker is the user's choice.
case " $* " in
*" mosquitto "*)
    if [ -d /run/systemd/system ]; then
        systemctl disable --now --quiet mosquitto.service
    else
        systemctl disable --quiet mosquitto.service 2>/dev/null || true
        update-rc.d mosquitto disable >/dev/null 2>&1 || true
    fi
    ;;
esac
