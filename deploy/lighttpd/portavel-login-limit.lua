-- lighttpd (mod_magnet) script that limits login attempts per client
-- address: at most `limit` requests for /Main in `window` seconds, the rest
-- answered 429 until the address's window has passed. lighttpd has no
-- request rate limit of its own.
local limit, window = 10, 60

-- package.loaded outlives the request (script globals do not), so the
-- counts are kept there, per client address.
local state = package.loaded["portavel_login_limit"]
if not state then
  state = { by_address = {}, requests = 0 }
  package.loaded["portavel_login_limit"] = state
end

local now = os.time()
-- Now and then forget the addresses whose window has passed, so the table
-- does not grow with every address ever seen.
state.requests = state.requests + 1
if state.requests % 1000 == 0 then
  for address, entry in pairs(state.by_address) do
    if now - entry.start >= window then state.by_address[address] = nil end
  end
end

local address = lighty.r.req_attr["request.remote-addr"]
local entry = state.by_address[address]
if not entry or now - entry.start >= window then
  entry = { start = now, count = 0 }
  state.by_address[address] = entry
end
entry.count = entry.count + 1
if entry.count > limit then
  return 429
end
