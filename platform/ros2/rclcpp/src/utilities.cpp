#include "rclcpp/utilities.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <mutex>
#include <thread>

#include "process_clock.hpp"

namespace rclcpp {

namespace {
int g_signal_pipe[2] = {-1, -1};

void on_signal(int /*signal*/) {
  const char byte = 1;
  // Only async-signal-safe work here: the watcher thread does the shutdown.
  [[maybe_unused]] auto written = write(g_signal_pipe[1], &byte, 1);
}

void watch_signals() {
  char byte = 0;
  while (read(g_signal_pipe[0], &byte, 1) == 1) {
    contexts::get_global_default_context()->shutdown("signal received");
  }
}

void install_signal_handlers(SignalHandlerOptions options) {
  if (options == SignalHandlerOptions::None) {
    return;
  }
  static std::once_flag once;
  std::call_once(once, [options]() {
    if (pipe(g_signal_pipe) != 0) {
      return;
    }
    fcntl(g_signal_pipe[1], F_SETFL, O_NONBLOCK);
    // The watcher lives as long as the process; it only ever waits on the pipe.
    std::thread(watch_signals).detach();
    if (options == SignalHandlerOptions::All || options == SignalHandlerOptions::SigInt) {
      std::signal(SIGINT, on_signal);
    }
    if (options == SignalHandlerOptions::All || options == SignalHandlerOptions::SigTerm) {
      std::signal(SIGTERM, on_signal);
    }
  });
}

Context::SharedPtr or_default(Context::SharedPtr context) {
  return context ? context : contexts::get_global_default_context();
}
}  // namespace

void init(int argc, char const* const* argv, const InitOptions& init_options,
          SignalHandlerOptions signal_handler_options) {
  contexts::get_global_default_context()->init(argc, argv, init_options);
  if (init_options.shutdown_on_signal) {
    install_signal_handlers(signal_handler_options);
  }
}

bool ok(Context::SharedPtr context) { return or_default(context)->is_valid(); }

bool shutdown(Context::SharedPtr context, const std::string& reason) {
  return or_default(context)->shutdown(reason);
}

void on_shutdown(std::function<void()> callback, Context::SharedPtr context) {
  or_default(context)->on_shutdown(callback);
}

bool sleep_for(const std::chrono::nanoseconds& nanoseconds, Context::SharedPtr context) {
  auto ctx = or_default(context);
  auto& source = detail::ProcessClock::instance();
  const int64_t target = source.now(RCL_STEADY_TIME) + nanoseconds.count();
  return source.sleep_until(RCL_STEADY_TIME, target, [ctx]() { return !ctx->is_valid(); });
}

std::vector<std::string> remove_ros_arguments(int argc, char const* const* argv) {
  std::vector<std::string> kept;
  bool in_ros_args = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--ros-args") {
      in_ros_args = true;
    } else if (in_ros_args && arg == "--") {
      in_ros_args = false;
    } else if (!in_ros_args) {
      kept.push_back(arg);
    }
  }
  return kept;
}

}  // namespace rclcpp
