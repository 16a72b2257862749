# Sourced by the shell tests: a free port, waiting for a listener, one GET.
# free_port: a TCP port on 127.0.0.1 that nothing listens on now.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}

# wait_port PORT PID: until something answers on PORT (10 s at most) and PID lives.
wait_port() {
  local _
  for _ in $(seq 1 100); do
    kill -0 "$2" 2>/dev/null || return 1
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# http_status URL: the status code of a GET (000 when nothing answered).
http_status() { curl -s -o /dev/null -w '%{http_code}' --max-time 10 "$1"; }
