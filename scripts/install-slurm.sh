#!/usr/bin/env bash
# Installs Slurm and munge from Debian for the job-array test (tests/batch/
# slurm_array_test.sh), which starts daemons of its own. Run as root. The
# packages' own services are not started: the test needs none of them.
set -euo pipefail
missing=()
for p in slurm-wlm munge; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
export DEBIAN_FRONTEND=noninteractive
# No service starts during the install, whether or not the machine runs an init system.
policy=/usr/sbin/policy-rc.d
created_policy=
if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy"
    chmod 755 "$policy"
    created_policy=1
fi
trap 'if [ -n "$created_policy" ]; then rm -f "$policy"; fi' EXIT
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
