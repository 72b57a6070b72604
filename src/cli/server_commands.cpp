// The `lab` and `serve` commands: choose a port on 127.0.0.1, say where the server
// answers, and accept connections until the process is stopped.

#include <csignal>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/cli.hpp"
#include "cli/commands.hpp"
#include "cli/input_files.hpp"
#include "cli/output.hpp"
#include "server/lab.hpp"
#include "server/listener.hpp"
#include "server/test_page.hpp"

namespace veltrane::cli {

namespace {

constexpr uint16_t LAB_FIRST_PORT = 8790;
constexpr uint16_t LAB_PORTS = 20;
constexpr uint16_t SERVE_PORT = 8765;

// A reader that goes away (a client, or a pipe on standard error) makes a write fail
// instead of ending the server: failed answers and log lines are dropped and serving goes on.
void ignore_broken_pipes() { (void)std::signal(SIGPIPE, SIG_IGN); }

std::string loopback_address(uint16_t port) {
  std::string address = "http://127.0.0.1:";
  address.append(std::to_string(port));
  address.push_back('/');
  return address;
}

// Answers every connection of `listener` with `handle` on a thread of its own, under the
// servers' limits; returns only when accepting ends, which it does not.
void serve_connections(const server::Listener& listener,
                       void (*handle)(server::Socket, const server::ExchangeLimits&)) {
  const server::ExchangeLimits limits;
  const server::ConnectionHandler handler = [limits, handle](server::Socket connection) {
    handle(std::move(connection), limits);
  };
  server::accept_connections(listener, handler, server::start_detached_thread,
                             limits.max_exchanges);
}

}  // namespace

uint8_t cmd_lab(std::span<const std::string> args, Output& output) {
  ignore_broken_pipes();
  const std::optional<uint16_t> chosen = server::read_port_option(args);
  const bool open = !has_flag(args, "--no-open");
  const uint16_t first = chosen.value_or(LAB_FIRST_PORT);
  const uint16_t tries = chosen.has_value() ? 1 : LAB_PORTS;

  std::optional<server::Listener> listener;
  for (uint16_t offset = 0; offset < tries && !listener.has_value(); ++offset) {
    // Any failure counts as a busy port.
    int error_number = 0;
    listener = server::listen_loopback(static_cast<uint16_t>(first + offset), error_number);
  }
  if (!listener.has_value()) {
    std::string message = "veltrane lab: port ";
    message.append(std::to_string(first));
    message.append(" is busy");
    message.append(chosen.has_value() ? " (choose another with --port)" : " (and the next 19)");
    message.push_back('\n');
    output.err(message);
    return STATUS_FAILED;
  }

  const std::string address = loopback_address(listener->port);
  std::string start_line = "Veltrane Lab: ";
  start_line.append(address);
  start_line.append("  (only on this machine; Ctrl+C to stop)\n");
  output.err(start_line);
  if (open) server::open_browser(address);

  serve_connections(*listener, server::handle_lab_connection);
  return STATUS_FAILED;
}

uint8_t cmd_serve(std::span<const std::string> args, Output& output) {
  ignore_broken_pipes();
  const uint16_t port = server::read_port_option(args).value_or(SERVE_PORT);
  int error_number = 0;
  std::optional<server::Listener> listener = server::listen_loopback(port, error_number);
  if (!listener.has_value()) {
    std::string message = "cannot listen on 127.0.0.1:";
    message.append(std::to_string(port));
    message.append(": ");
    message.append(os_error_text(error_number));
    message.push_back('\n');
    output.err(message);
    return STATUS_FAILED;
  }

  std::string start_line = "Veltrane test page: ";
  start_line.append(loopback_address(listener->port));
  start_line.append("  (Ctrl+C to stop)\n");
  output.err(start_line);

  serve_connections(*listener, server::handle_serve_connection);
  return STATUS_FAILED;
}

}  // namespace veltrane::cli
