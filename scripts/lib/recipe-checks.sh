# shellcheck shell=bash disable=SC2034,SC2154
# (SC2034, SC2154: variables set here for the sourcing script, and by it for here.)
# What the end-to-end tests of the web server recipes share
# (scripts/test-web-servers for the CGI recipes, scripts/test-fastcgi for the
# FastCGI ones): a demo installation in a temporary folder, installed by the
# package's own install rules and post-install step; a recipe copied with
# this test's paths; starting a server on free loopback ports; and the
# checks of the portal through it.
# Each script keeps only starting its own servers (start_<server>), the
# checks that belong to its mode, and which checks a server gets
# (check_recipe, called by test_servers).
#
# Sourced from the source tree's root by a script with `set -euo pipefail`,
# after it has set `tool` (its name, for messages) and `all_servers`.

# A demo login (portavel-db demo makes it) and what only its account page shows.
account_id=HV1001
password=maple120
account_text="Hello Robert Smith"
script_name=/cgi-bin/Portavel.exe

# The truck system's address in every recipe, a placeholder the dealer replaces.
truck_placeholder=192.0.2.40

# /usr/sbin is not on an ordinary user's PATH.
PATH=$PATH:/usr/sbin

# Sets `servers` from the script's arguments (all of `all_servers` when
# there are none); an unknown name ends the script.
select_servers() {
  local server
  servers=("$@")
  ((${#servers[@]})) || servers=("${all_servers[@]}")
  for server in "${servers[@]}"; do
    if [[ " ${all_servers[*]} " != *" $server "* ]]; then
      echo "$tool: unknown server '$server' (known: ${all_servers[*]})" >&2
      exit 2
    fi
  done
}

require_build() {
  local program
  for program in build/bin/Portavel build/bin/portavel-db; do
    if [[ ! -x $program ]]; then
      echo "$tool: $program is missing; build first (see README.md)" >&2
      exit 1
    fi
  done
}

# --- Servers and the temporary folder ---
server_pids=() # the running servers and their helpers, stopped in reverse order
stop_servers() {
  local i
  for ((i = ${#server_pids[@]} - 1; i >= 0; i--)); do
    kill "${server_pids[i]}" 2>/dev/null || true
    # A process that is not a child of this shell (spawn-fcgi's program):
    # wait until it is gone.
    wait "${server_pids[i]}" 2>/dev/null ||
      while kill -0 "${server_pids[i]}" 2>/dev/null; do sleep 0.05; done
  done
  server_pids=()
}
# shellcheck disable=SC2317 # called from the trap
cleanup() {
  stop_servers
  rm -rf -- "$tmp"
}

# Makes the temporary folder $tmp; every server is stopped and the folder
# removed when the script ends, also on failure.
make_scratch() {
  tmp=$(mktemp -d)
  trap cleanup EXIT
  # The server's worker user must reach the files below.
  chmod 755 "$tmp"
}

# As root the servers run their workers, and so the program, as www-data,
# the user of Debian's own set-up; otherwise as the caller.
if ((EUID == 0)); then worker=www-data; else worker=$(id -un); fi

# The package's files installed under $root ($tmp/root) by its own install
# rules, with Debian's stock cgi-bin folder ($root/usr/lib/cgi-bin) beside
# them, and its post-install step run there as dpkg runs it (the store
# folder, the default logo): the program ($program), the configuration and
# logo ($etc), and a demo store ($store) the worker user owns.
install_demo() {
  root=$tmp/root
  DESTDIR=$root cmake --install build --component portavel --prefix /usr >/dev/null
  mkdir -p "$root/usr/lib/cgi-bin"
  DPKG_ROOT=$root sh packaging/debian/postinst configure "" >/dev/null
  program=$root/usr/lib/portavel/Portavel.exe
  etc=$root/etc/portavel
  store=$root/var/lib/portavel
  cat >"$etc/portavel.toml" <<TOML
[database]
userdata  = "$store/UserData.sqlite"
localdata = "$store/LocalData.sqlite"

[session]
secret = "$(build/bin/portavel-db new-secret)"
TOML
  build/bin/portavel-db --config "$etc/portavel.toml" demo >/dev/null
  if ((EUID == 0)); then chown -R "$worker:" "$store"; fi
  chmod -R a+rX "$root/usr" "$etc"
  # The folders every recipe names, and where they are here; the first pair
  # also moves Debian's stock cgi-bin folder.
  recipe_paths=(
    /usr/lib/ "$root/usr/lib/"
    /etc/portavel "$etc"
  )
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Copies a configuration file, replacing each FROM by its TO (pairs of
# arguments). Every FROM must occur, so a recipe that changes its paths
# fails here instead of being tested with the wrong ones.
render() {
  local source=$1 target=$2 text from
  shift 2
  text=$(<"$source")
  while (($#)); do
    from=$1
    if [[ "$text" != *"$from"* ]]; then
      echo "$tool: $source no longer contains '$from'" >&2
      return 1
    fi
    text=${text//"$from"/"$2"}
    shift 2
  done
  printf '%s\n' "$text" >"$target"
}

wait_until_serving() {
  local base=$1 pid=$2 log=$3 attempt
  for ((attempt = 0; attempt < 100; attempt++)); do
    if curl -fsS -o /dev/null --max-time 5 "$base/Logo.png" 2>/dev/null; then return 0; fi
    if ! kill -0 "$pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  echo "  FAIL: the server did not serve $base/Logo.png; its log:" >&2
  tail -n 20 "$log" >&2 || true
  return 1
}

# Starts $1 with the truck address $2 on two free ports, plain HTTP and
# HTTPS, in a folder of its own ($work), by calling start_$1 with the port,
# the truck address and the HTTPS port; that function sets server_pid and
# server_log. Sets base and tls_base, and fails when the server does not
# come up.
serve() {
  local server=$1 truck=$2 port tls_port
  work=$tmp/$server-$truck
  mkdir -p "$work"
  chmod 755 "$work"
  port=$(free_port)
  tls_port=$(free_port)
  server_pid=""
  server_log=""
  "start_$server" "$port" "$truck" "$tls_port"
  server_pids+=("$server_pid")
  base=http://127.0.0.1:$port
  tls_base=https://127.0.0.1:$tls_port
  wait_until_serving "$base" "$server_pid" "$server_log"
}

# --- The checks ---
failures=0
fail() {
  echo "  FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() {
  echo "  ok: $*"
}

# Prints the status code; the body goes to $work/body. Extra arguments go to curl.
fetch() {
  curl -sS --max-time 20 -o "$work/body" -w '%{http_code}' -b "$work/cookies" -c "$work/cookies" \
    "$@"
}

# The action of the form whose submit button says $1, from $work/body.
form_action() {
  python3 - "$work/body" "$1" <<'PY'
import re, sys
page = open(sys.argv[1], encoding="cp1252").read()
for form in re.findall(r"<form\b.*?</form>", page, re.S | re.I):
    if 'value="%s"' % sys.argv[2] in form:
        action = re.search(r'action="([^"]*)"', form)
        print(action.group(1) if action else "")
        break
PY
}

# /Online, the login page and its logo, a login through the login form's
# own action, the welcome page and the account page it leads to.
check_portal() {
  local base=$1 status action welcome_url
  : >"$work/cookies"

  # What docs/deployment.md tells the dealer to check.
  status=$(fetch "$base$script_name/Online")
  if [[ $status == 200 && $(tr -d '\r\n' <"$work/body") == 1 ]]; then
    pass "GET $script_name/Online answers 1"
  else
    fail "GET $script_name/Online answered $status: $(head -c 200 "$work/body")"
  fi

  status=$(fetch "$base$script_name/Login")
  if [[ $status == 200 ]] && grep -q '<title>Account Login</title>' "$work/body"; then
    pass "GET $script_name/Login shows the login page"
  else
    fail "GET $script_name/Login answered $status"
  fi

  # The login form's action is built from SCRIPT_NAME: following it proves
  # the server passes SCRIPT_NAME and PATH_INFO as the program needs them.
  action=$(form_action "Log in")
  if [[ $action == "$script_name/Main" ]]; then
    pass "the login form posts to $action"
  else
    fail "the login form posts to '$action', not $script_name/Main"
  fi

  # A fresh installation's logo: the neutral one the package ships.
  status=$(fetch "$base/Logo.png" -D "$work/headers")
  if [[ $status == 200 ]] && grep -qi '^Content-Type: image/png' "$work/headers" &&
    cmp -s "$work/body" "$root/usr/share/portavel/Logo.png"; then
    pass "GET /Logo.png serves the package's default logo as image/png"
  else
    fail "GET /Logo.png answered $status, $(grep -i '^Content-Type:' "$work/headers" | tr -d '\r'), or other bytes"
  fi

  status=$(fetch "$base$action" -D "$work/headers" --data-urlencode "AccountID=$account_id" \
    --data-urlencode "Password=$password")
  # Over plain HTTP the login cookie is not marked secure (over HTTPS it is,
  # see test-web-servers).
  if [[ $status == 200 ]] && grep -q 'URL=MainAccountPg"' "$work/body" &&
    grep -qi '^Set-Cookie: AccountSig=' "$work/headers" &&
    ! grep -qi '^Set-Cookie: AccountSig=.*; secure' "$work/headers"; then
    pass "POST $action logs in"
  else
    fail "POST $action answered $status without the redirect to MainAccountPg"
  fi

  # The login answer refreshes to a relative address, as a browser resolves it.
  welcome_url=$base${action%/*}/MainAccountPg
  status=$(fetch "$welcome_url")
  action=$(form_action "Go To Account.")
  if [[ $status == 200 && $action == "$script_name/MainAccountPg" ]]; then
    pass "the welcome page links to $action"
  else
    fail "GET $welcome_url answered $status, account form '$action'"
  fi

  status=$(fetch "$base$action" --data-urlencode "AccountID=$account_id")
  if [[ $status == 200 ]] && grep -q "$account_text" "$work/body" &&
    grep -q 'This is your account information' "$work/body"; then
    pass "POST $action shows $account_id's account page"
  else
    fail "POST $action answered $status without $account_id's account page"
  fi
}

# The recipes let only the truck system's placeholder address (not this
# machine) reach /rd and /bi, so the server itself must refuse the paths
# given here, before the program, which would allow 127.0.0.1, sees the
# request.
check_truck_endpoints_refused() {
  local base=$1 path status
  shift
  for path in "$@"; do
    status=$(fetch "$base$path" -d 'Batch=17')
    if [[ $status == 403 ]] && ! grep -q 'ERR NOT ALLOWED' "$work/body"; then
      pass "POST $path is refused by the server (403)"
    else
      fail "POST $path answered $status, not the server's 403"
    fi
  done
}

# With this machine as the truck system, /bi reaches the program, which
# answers an empty request with its own status line.
check_truck_endpoint_allowed() {
  local base=$1 status
  status=$(fetch "$base$script_name/bi" -d '')
  if [[ $status == 200 ]] && grep -q '^ERR NO DATA' "$work/body"; then
    pass "POST $script_name/bi from the truck's address reaches the program"
  else
    fail "POST $script_name/bi from the truck's address answered $status: $(head -c 200 "$work/body")"
  fi
}

# The recipes allow about 10 login attempts a minute per address; the
# login of check_portal was one. The program answers these empty posts with
# its "no account ID" page, so they touch nothing.
check_login_rate_limit() {
  local base=$1 attempt status statuses=""
  for ((attempt = 0; attempt < 15; attempt++)); do
    status=$(fetch "$base$script_name/Main" -d '')
    statuses+=" $status"
    [[ $status == 429 ]] && break
  done
  if [[ $status == 429 && $statuses == " 200 "* ]]; then
    pass "POST $script_name/Main is limited:$statuses"
  else
    fail "POST $script_name/Main was not limited to about 10 a minute:$statuses"
  fi
}

check_truck_rule() {
  check_truck_endpoints_refused "$1" "$script_name/rd" "$script_name/BI"
}

# Where Debian's stock configuration is read along with the recipe
# (Apache's serve-cgi-bin.conf, lighttpd's 10-cgi.conf: /cgi-bin/ runs what
# is in /usr/lib/cgi-bin), no other address may reach the program: there
# the recipe's login limit and truck rule would not apply. Tried: every
# file installed under the stock cgi-bin folder, the places the program
# has been or could be put, and climbs out of /cgi-bin/; each with a
# login page, a login post and a truck post, all to be refused by the
# server, never answered by the program. It runs with this machine as the
# truck system, so a truck post is refused only where nothing is served; a
# login post may meet the recipe's limit (429), which applies there.
check_no_second_address() {
  local base=$1 file address path status reached=()
  local addresses=(
    /cgi-bin/portavel/Portavel.exe /cgi-bin/portavel/Portavel /cgi-bin/Portavel
    /cgi-bin/portavel.exe /cgi-bin/PORTAVEL.EXE /cgi-bin/portavel/portavel.exe
    /cgi-bin/../portavel/Portavel.exe /cgi-bin/%2e%2e/portavel/Portavel.exe
    /portavel/Portavel.exe /usr/lib/portavel/Portavel.exe
  )
  while IFS= read -r file; do
    address=/cgi-bin/${file#"$root/usr/lib/cgi-bin/"}
    [[ " ${addresses[*]} " == *" $address "* ]] || addresses+=("$address")
  done < <(find "$root/usr/lib/cgi-bin" -mindepth 1 ! -type d)
  for address in "${addresses[@]}"; do
    for path in /Login /Main /bi; do
      if [[ $path == /Login ]]; then
        status=$(fetch "$base$address$path" --path-as-is)
      else
        status=$(fetch "$base$address$path" --path-as-is -d '')
      fi
      if [[ $status != 403 && $status != 404 && $status != 429 ]] || grep -q 'Account Login\|^ERR ' "$work/body"; then
        reached+=("$address$path: $status")
      fi
    done
  done
  if ((${#reached[@]} == 0)); then
    pass "no other address reaches the program (${#addresses[@]} addresses tried)"
  else
    fail "the program answers outside the recipe's address: ${reached[*]}"
  fi
}

# For each of $servers: serves it with the recipe's truck address and runs
# the script's check_recipe with the server's name; then serves it with
# this machine as the truck system and checks that /bi reaches the program,
# and, where Debian's stock cgi-bin set-up is read along with the recipe
# (Apache's and lighttpd's, not nginx's), that no other address does.
# $1 follows the server's name in the heading.
test_servers() {
  local label=$1 server failures_before
  for server in "${servers[@]}"; do
    echo "==> $server$label"
    failures_before=$failures
    if serve "$server" "$truck_placeholder"; then
      check_recipe "$server"
    else
      failures=$((failures + 1))
    fi
    stop_servers
    if serve "$server" 127.0.0.1; then
      check_truck_endpoint_allowed "$base"
      if [[ $server != nginx ]]; then check_no_second_address "$base"; fi
    else
      failures=$((failures + 1))
    fi
    if ((failures > failures_before)); then
      echo "  $server's error log:" >&2
      tail -n 20 "$server_log" >&2 || true
    fi
    stop_servers
  done
}

# Ends the script with its verdict.
finish() {
  if ((failures)); then
    echo "$tool: $failures check(s) failed" >&2
    exit 1
  fi
  echo "$tool: $1"
}
