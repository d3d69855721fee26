#include "app/fastcgi_program.h"

#include <fcgiapp.h>
#include <malloc.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <exception>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>

#include "app/context_files.h"
#include "app/fcgx_streams.h"
#include "app/idle_store_release.h"
#include "app/process_random.h"
#include "app/process_start.h"
#include "app/request_platform.h"
#include "config/config_lookup.h"

namespace portavel {
namespace {

// How long the store's files stay open after a request: long enough that
// requests following each other closely reuse the connections, short enough
// that a database file replaced while the portal is quiet is never read with
// a log this process kept open. Connections to a database server hold no
// file and are kept.
constexpr std::chrono::milliseconds kStoreLinger{20};

// What lives from one request to the next.
struct Held {
  std::optional<ProcessContext> context;
  ContextFiles files;
};

// Builds the context when there is none or its files changed. Returns the
// failure that stops the process, after answering the request with it.
std::optional<std::string> EnsureContext(Platform& platform, const Environment& process_environment,
                                         Held& held, const Environment& request_environment,
                                         std::ostream& out) {
  if (held.context && !held.files.Changed()) return std::nullopt;
  // The old store is closed before the new one is opened.
  held.context.reset();
  held.files = ContextFiles();
  try {
    held.files.Add(LocateConfigFile(platform, process_environment(kConfigEnvironmentVariable)));
    held.context = StartProcess(platform, process_environment);
    // A store on a database server has no files to watch.
    for (const std::string& path :
         {held.context->config.database.userdata, held.context->config.database.localdata}) {
      if (!path.empty()) held.files.Add(path);
    }
    return std::nullopt;
  } catch (const std::exception& error) {
    held.context.reset();
    AnswerFailure(platform, request_environment, out, error);
    return std::string("cannot start: ") + error.what();
  } catch (...) {
    held.context.reset();
    AnswerFailure(platform, request_environment, out, std::runtime_error("Unknown failure"));
    return std::string("cannot start: unknown failure");
  }
}

// Serves one accepted request. Returns the failure that stops the process.
std::optional<std::string> ServeOne(Platform& platform, const Environment& process_environment,
                                    Held& held, FCGX_Request& request) {
  const Environment environment = [&request](std::string_view name) -> std::optional<std::string> {
    const char* value = FCGX_GetParam(std::string(name).c_str(), request.envp);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  };
  FcgxInputBuffer in_buffer(request.in);
  FcgxOutputBuffer out_buffer(request.out);
  std::istream in(&in_buffer);
  std::ostream out(&out_buffer);

  SeedProcessRandom(platform);
  if (std::optional<std::string> failure =
          EnsureContext(platform, process_environment, held, environment, out)) {
    return failure;
  }
  // A server connection kept from the last request may have been ended
  // since (a server restart, an administrator): found now, before any
  // work rests on it, it is replaced rather than failing this request.
  held.context->store->DropLostConnections();
  if (ServeRequest(platform, *held.context, environment, in, out) ==
      RequestOutcome::kProcessUnusable) {
    return std::string("out of memory");
  }
  // Nothing of this request may hold the store for the next: the module
  // and its data sets are gone, so anything still open was forgotten.
  if (held.context->store->ReleaseLeftovers()) {
    RequestPlatform(platform, environment("REQUEST_METHOD").value_or(""),
                    environment("PATH_INFO").value_or(""))
        .OperatorMessage("A request left work open on the store; it was rolled back");
  }
  return std::nullopt;
}

// Each request allocates and frees a few hundred kilobytes (a page, the
// rows behind it). By default the allocator hands freed memory at the top
// of the heap back to the system, and large blocks are mapped and
// unmapped on their own, so that every request faults the same pages in
// again: on a virtual machine that cost as much as building the page. The
// process keeps what it freed instead; its size settles at what its
// largest request needed.
void KeepFreedMemory() {
  constexpr int kTrimThreshold = 64 << 20;
  constexpr int kMapThreshold = 16 << 20;
  mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
  mallopt(M_MMAP_THRESHOLD, kMapThreshold);
}

}  // namespace

bool StandardInputIsFastCgiListener() {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  return getpeername(STDIN_FILENO, reinterpret_cast<sockaddr*>(&address), &length) != 0 &&
         errno == ENOTCONN;
}

int RunFastCgiProgram(Platform& platform, const Environment& process_environment,
                      std::ostream& diagnostics) {
  // A web server that drops a connection mid-answer must not end the process.
  signal(SIGPIPE, SIG_IGN);
  KeepFreedMemory();
  if (FCGX_Init() != 0) {
    diagnostics << "Portavel: FastCGI could not be initialised" << std::endl;
    return 1;
  }
  FCGX_Request request;
  FCGX_InitRequest(&request, STDIN_FILENO, 0);
  Held held;
  // Destroyed before `held`: its thread may close the held store.
  IdleStoreRelease release(kStoreLinger);
  while (FCGX_Accept_r(&request) >= 0) {
    release.RequestStarts();
    const std::optional<std::string> failure =
        ServeOne(platform, process_environment, held, request);
    release.RequestDone(held.context ? held.context->store.get() : nullptr);
    if (failure) {
      FCGX_SetExitStatus(1, request.out);
      FCGX_Finish_r(&request);
      diagnostics << "Portavel: FastCGI process ends: " << *failure << std::endl;
      return 1;
    }
  }
  FCGX_Finish_r(&request);
  return 0;
}

}  // namespace portavel
