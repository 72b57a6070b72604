#pragma once

// The listener on 127.0.0.1 and the accept loop that gives every connection its own
// detached thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "server/http.hpp"

namespace veltrane::server {

// A listening socket and the port it was bound to (the real one when 0 was asked for).
struct Listener {
  Socket socket;
  uint16_t port = 0;
};

// Listens on 127.0.0.1 at `port` (0: any free port) with SO_REUSEADDR, close-on-exec.
// Returns the listener, or the system's error number in `error_number`.
[[nodiscard]] std::optional<Listener> listen_loopback(uint16_t port, int& error_number);

// Starts `body` on a new thread that runs on its own; false when no thread could be
// started (the body is then dropped without running).
using ThreadStarter = std::function<bool(std::function<void()> body)>;

// The real starter: a detached std::thread.
[[nodiscard]] bool start_detached_thread(std::function<void()> body);

// One exchange on an accepted connection. The handler owns the socket.
using ConnectionHandler = std::function<void(Socket connection)>;

// Runs `handler` on `connection` under the face guard: whatever escapes it (the internal
// stop, running out of memory, any exception) becomes one line on standard error, and the
// connection is closed.
void run_connection(const ConnectionHandler& handler, Socket connection);

// Accepts connections on `listener` and hands each one to `handler` on a thread started by
// `start_thread`, accepting only while fewer than `max_exchanges` (at least 1) exchanges
// run, and returns after `max_connections` (the servers never reach it). A failed accept
// is dropped (after a pause of about 50 ms unless it was EINTR or ECONNABORTED); a thread
// that cannot be started prints "failed to spawn thread" and closes that connection.
void accept_connections(const Listener& listener, const ConnectionHandler& handler,
                        const ThreadStarter& start_thread,
                        std::size_t max_exchanges = ExchangeLimits{}.max_exchanges,
                        uint64_t max_connections = std::numeric_limits<uint64_t>::max());

// Reads the `--port N` option of `lab` and `serve`: the first argument that is exactly
// "--port", its value the next argument, an optional "+" and decimal digits up to 65535.
// None when there is no such option or its value does not read so.
[[nodiscard]] std::optional<uint16_t> read_port_option(std::span<const std::string> args);

// Starts the user's browser on `address` (xdg-open), its output sent to the null device,
// SIGPIPE back at its default action, and never waited for. A failure to start it is
// ignored.
void open_browser(const std::string& address);

}  // namespace veltrane::server
