#!/usr/bin/env bash
# The update by entries against nginx with the operator's configuration
# (docs/nginx.conf): nginx serves the version, the packages and their
# manifests from a folder of its own on a free port and logs the bytes it
# sent; the e2e suite's PkgUpdateNginx tests publish there and read its log
# (the configuration still comes from the game server fixture).
#   update_nginx_test.sh <source> <e2e_tests.exe> <nginx>
# Runs under scripts/test's wine prefix and display, in the game_server fixture.
set -uo pipefail
top=$1 tests_exe=$2 nginx=$3
source "$top/tests/support/shell_helpers.sh"
work=$(mktemp -d)
chmod 755 "$work"   # nginx's workers (nobody, when started as root) read www/ below it
mkdir -p "$work/www/pkg" "$work/logs" "$work/tmp"
chmod 777 "$work/www/pkg"
nginx_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
port=$(free_port)
sed -e "s/listen 80;/listen 127.0.0.1:$port;/" "$top/docs/nginx.conf" > "$work/nginx.conf"
"$nginx" -p "$work" -c "$work/nginx.conf" -g 'daemon off;' > "$work/logs/nginx.out" 2>&1 &
nginx_pid=$!
if ! wait_port "$port" "$nginx_pid"; then
  cat "$work/logs/nginx.out"
  echo "FAIL: nginx did not start"
  exit 1
fi
out=$(VORN_NGINX_PORT=$port VORN_NGINX_ROOT="$work/www/pkg" VORN_NGINX_LOG="$work/logs/access.log" \
      "$top/scripts/wine-run" "$tests_exe" --gtest_filter='PkgUpdateNginx.*' --gtest_color=no 2>&1)
rc=$?
echo "$out"
# A skipped test would pass without having looked at nginx.
if grep -q "SKIPPED" <<<"$out" || ! grep -q "\[  PASSED  \] 1 test" <<<"$out"; then
  echo "FAIL: the nginx test did not run and pass"
  exit 1
fi
exit $rc
