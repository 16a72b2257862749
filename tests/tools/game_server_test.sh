#!/usr/bin/env bash
# The local game server keeps its own data and its test controls to itself:
# tokens.txt is never served as a file, /__control/ answers only with --control.
#   game_server_test.sh <vorn-game-server binary>
set -uo pipefail
server=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/shell_helpers.sh"
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p "$work/root/pkg" "$work/root/sub" "$work/logs"
printf 'tok1\tuid=7&skey=abc\n' > "$work/root/tokens.txt"
cp "$work/root/tokens.txt" "$work/root/sub/Tokens.TXT"
printf '105\n' > "$work/root/pkg/pkg.ver"

start() { # extra options...
  port=$(free_port)
  "$server" --root "$work/root" --port "$port" --log-dir "$work/logs" --quiet "$@" > "$work/logs/out" 2>&1 &
  pid=$!
  wait_port "$port" "$pid" || { fail "server did not start: $(cat "$work/logs/out")"; exit 1; }
}
stop() { kill "$pid"; wait "$pid" 2>/dev/null; pid=""; }

start
while read -r path status; do
  got=$(http_status "http://127.0.0.1:$port$path")
  [ "$got" = "$status" ] || fail "without --control: GET $path answered $got, want $status"
done <<'ROWS'
/pkg/pkg.ver 200
/tokens.txt 404
/sub/Tokens.TXT 404
/./tokens.txt 404
/__control/ping 404
/__control/reset 404
/__control/requests 404
/__control/fault?path=/pkg/pkg.ver&status=500 404
ROWS
[ "$(curl -s --max-time 10 "http://127.0.0.1:$port/token?token=tok1")" = "uid=7&skey=abc" ] ||
  fail "the token endpoint still answers from tokens.txt"
[ "$(http_status "http://127.0.0.1:$port/pkg/pkg.ver")" = 200 ] || fail "a fault was queued without --control"
stop

start --control
[ "$(curl -s --max-time 10 "http://127.0.0.1:$port/__control/ping")" = ok ] || fail "--control: no ping"
curl -s --max-time 10 "http://127.0.0.1:$port/__control/fault?path=/pkg/pkg.ver&status=503" > /dev/null
[ "$(http_status "http://127.0.0.1:$port/pkg/pkg.ver")" = 503 ] || fail "--control: a queued fault is not applied"
[ "$(http_status "http://127.0.0.1:$port/tokens.txt")" = 404 ] || fail "--control serves tokens.txt"
stop

[ $failures = 0 ] && echo "game server: all checks passed"
exit $((failures > 0))
