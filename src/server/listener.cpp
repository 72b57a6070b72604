#include "server/listener.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "syntax/face_guard.hpp"
#include "syntax/write_all.hpp"

namespace veltrane::server {

namespace {

constexpr int LISTEN_BACKLOG = 128;
constexpr std::string_view SPAWN_FAILED = "failed to spawn thread\n";
constexpr auto ACCEPT_PAUSE = std::chrono::milliseconds(50);

// The free places for exchanges, shared by the accept loop and the connection threads.
class ExchangeSlots {
 public:
  explicit ExchangeSlots(std::size_t count) : free_(count) {}

  // Waits until a place is free and takes it.
  void take() {
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [this] { return free_ > 0; });
    --free_;
  }

  void give_back() {
    {
      const std::lock_guard lock(mutex_);
      ++free_;
    }
    freed_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  std::size_t free_;
};

// One taken place, given back when the last owner lets go of it: the connection thread
// when its exchange ends, or the accept loop when no thread could be started.
class ExchangeSlot {
 public:
  explicit ExchangeSlot(std::shared_ptr<ExchangeSlots> slots) : slots_(std::move(slots)) {
    slots_->take();
  }
  ~ExchangeSlot() { slots_->give_back(); }
  ExchangeSlot(const ExchangeSlot&) = delete;
  ExchangeSlot& operator=(const ExchangeSlot&) = delete;

 private:
  std::shared_ptr<ExchangeSlots> slots_;
};

}  // namespace

std::optional<Listener> listen_loopback(uint16_t port, int& error_number) {
  error_number = 0;
  Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.valid()) {
    error_number = errno;
    return std::nullopt;
  }
  const int on = 1;
  if (::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
    error_number = errno;
    return std::nullopt;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(socket.get(), LISTEN_BACKLOG) != 0) {
    error_number = errno;
    return std::nullopt;
  }
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    error_number = errno;
    return std::nullopt;
  }
  Listener listener;
  listener.socket = std::move(socket);
  listener.port = ntohs(bound.sin_port);
  return listener;
}

bool start_detached_thread(std::function<void()> body) {
  try {
    std::thread thread(std::move(body));
    thread.detach();
    return true;
  } catch (...) {
    // std::system_error when the system has no thread left, std::bad_alloc for the
    // thread's state: either way, no thread.
    return false;
  }
}

void run_connection(const ConnectionHandler& handler, Socket connection) {
  // The handler owns the socket, so that unwinding out of it closes the connection too.
  syntax::guard_face(
      [&handler, &connection] { handler(std::move(connection)); },
      [](const syntax::FaceFailure& failure) {
        // Memory may have run out: the line is made without allocating.
        const bool stop = failure.kind == syntax::FaceFailureKind::Stop;
        const bool detail = !failure.detail.empty();
        syntax::write_failure_line({"request failed: ", stop ? "internal error: " : "",
                                    failure.message, detail ? ": " : "", failure.detail, "\n"});
      });
}

void accept_connections(const Listener& listener, const ConnectionHandler& handler,
                        const ThreadStarter& start_thread, std::size_t max_exchanges,
                        uint64_t max_connections) {
  const auto slots = std::make_shared<ExchangeSlots>(std::max<std::size_t>(max_exchanges, 1));
  // The place for the next connection, taken before accepting it, so that connections
  // beyond the cap wait in the listen queue.
  std::shared_ptr<ExchangeSlot> slot;
  uint64_t accepted = 0;
  while (accepted < max_connections) {
    if (slot == nullptr) slot = std::make_shared<ExchangeSlot>(slots);
    const int descriptor = ::accept4(listener.socket.get(), nullptr, nullptr, SOCK_CLOEXEC);
    if (descriptor < 0) {
      const int error_number = errno;
      // Out of descriptors or memory: wait a little rather than spin.
      if (error_number != EINTR && error_number != ECONNABORTED) {
        std::this_thread::sleep_for(ACCEPT_PAUSE);
      }
      continue;
    }
    ++accepted;
    // Shared so that a thread that never starts still closes the connection; the thread
    // keeps its own copy of the handler, and the slot until its exchange ends.
    auto connection = std::make_shared<Socket>(descriptor);
    bool started = false;
    try {
      started = start_thread([connection, handler, taken = std::move(slot)]() mutable {
        run_connection(handler, std::move(*connection));
        taken.reset();
      });
    } catch (...) {
      started = false;
    }
    slot.reset();
    if (!started) {
      syntax::write_failure_line({SPAWN_FAILED});
      connection->close();
    }
  }
}

std::optional<uint16_t> read_port_option(std::span<const std::string> args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--port") continue;
    if (i + 1 >= args.size()) return std::nullopt;
    std::string_view value = args[i + 1];
    if (!value.empty() && value.front() == '+') value.remove_prefix(1);
    if (value.empty()) return std::nullopt;
    uint32_t number = 0;
    for (const char c : value) {
      if (c < '0' || c > '9') return std::nullopt;
      number = number * 10 + static_cast<uint32_t>(c - '0');
      if (number > 65535) return std::nullopt;
    }
    return static_cast<uint16_t>(number);
  }
  return std::nullopt;
}

void open_browser(const std::string& address) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return;
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return;
  }
  // The servers ignore SIGPIPE; the browser must not inherit that.
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  const bool ready = posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
                     posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0 &&
                     posix_spawnattr_setsigdefault(&attributes, &defaults) == 0 &&
                     posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF) == 0;
  if (ready) {
    std::string program = "xdg-open";
    std::string argument = address;
    std::vector<char*> argv = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    // Not waited for: the browser command runs on its own.
    (void)posix_spawnp(&child, program.c_str(), &actions, &attributes, argv.data(), environ);
  }
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
}

}  // namespace veltrane::server
