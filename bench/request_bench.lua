-- The wrk script of bench/run-request-bench. The request comes from the
-- environment (BENCH_METHOD, BENCH_BODY, BENCH_COOKIE), so that one
-- script serves every case; the figures are printed as one line that
-- the shell script reads.
local method = os.getenv("BENCH_METHOD") or "GET"
local body = os.getenv("BENCH_BODY") or ""
local cookie = os.getenv("BENCH_COOKIE") or ""

wrk.method = method
if body ~= "" then
  wrk.body = body
  wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"
end
if cookie ~= "" then
  wrk.headers["Cookie"] = cookie
end

-- BENCH_REQUESTS: stop after that many answers (the memory run), instead
-- of after the set time.
local limit = tonumber(os.getenv("BENCH_REQUESTS") or "")
if limit then
  local answered = 0
  function response(status, headers, body)
    answered = answered + 1
    if answered >= limit then
      wrk.thread:stop()
    end
  end
end

function done(summary, latency, requests)
  local e = summary.errors
  io.write(string.format(
    "RESULT requests=%d duration_us=%d mean_us=%.1f p50_us=%d p99_us=%d " ..
    "connect_errors=%d read_errors=%d write_errors=%d status_errors=%d timeouts=%d\n",
    summary.requests, summary.duration, latency.mean, latency:percentile(50),
    latency:percentile(99), e.connect, e.read, e.write, e.status, e.timeout))
end
