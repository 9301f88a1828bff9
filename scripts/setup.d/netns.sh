#!/usr/bin/env bash
# The SMTP integration tests that need the fixed ports 465, 587 and 25 run in
# a network namespace of their own (unshare -n, loopback brought up with ip).
# Installs the two tools when missing.
set -euo pipefail
need=()
command -v unshare >/dev/null 2>&1 || need+=(util-linux)
command -v ip >/dev/null 2>&1 || [ -x /usr/sbin/ip ] || [ -x /sbin/ip ] || need+=(iproute2)
[ ${#need[@]} -eq 0 ] && exit 0
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq >/dev/null
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
