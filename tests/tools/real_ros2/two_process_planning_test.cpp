// A task manager here, the planning nodes in a process of their own: goals and results cross
// the middleware as they do between the robot's processes.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "support/shapes.hpp"
#include "support/task_manager_client.hpp"
#include "vantrell_nav2_protocol/action/global_planning.hpp"
#include "vantrell_nav2_protocol/action/local_planning.hpp"

namespace {

using GlobalPlanning = vantrell_nav2_protocol::action::GlobalPlanning;
using LocalPlanning = vantrell_nav2_protocol::action::LocalPlanning;

// Only guards against a hang.
constexpr int kReadyPatienceMs = 120000;

// The hosting process, fed through a pipe: it serves until its standard input closes.
class HostProcess {
 public:
  HostProcess() {
    int input[2];
    int output[2];
    if (pipe(input) != 0 || pipe(output) != 0) {
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      dup2(input[0], STDIN_FILENO);
      dup2(output[1], STDOUT_FILENO);
      close(input[1]);
      close(output[0]);
      execl(PLANNING_NODES_HOST, PLANNING_NODES_HOST, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(input[0]);
    close(output[1]);
    to_host_ = input[1];
    from_host_ = output[0];
  }
  ~HostProcess() {
    if (pid_ <= 0) {
      return;
    }
    close(to_host_);
    close(from_host_);
    // A host that does not stop within the wait is stopped.
    for (int i = 0; i < 300; ++i) {
      if (waitpid(pid_, &status_, WNOHANG) == pid_) {
        return;
      }
      usleep(100000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
  }
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  // True once the host has said "ready" (nodes active, robot placed).
  bool waitUntilReady() {
    std::string said;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadyPatienceMs);
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
      pollfd fd{from_host_, POLLIN, 0};
      if (poll(&fd, 1, 1000) <= 0) {
        continue;
      }
      char buffer[256];
      const ssize_t got = read(from_host_, buffer, sizeof(buffer));
      if (got <= 0) {
        return false;
      }
      said.append(buffer, static_cast<size_t>(got));
      if (said.find("ready\n") != std::string::npos) {
        return true;
      }
    }
    return false;
  }

 private:
  pid_t pid_{-1};
  int to_host_{-1};
  int from_host_{-1};
  int status_{0};
};

TEST(TwoProcessPlanning, TaskManagerGetsGlobalAndLocalResultsFromTheHostingProcess) {
  HostProcess host;
  ASSERT_TRUE(host.waitUntilReady());
  test_support::TaskManagerClient task_manager("two_process_task_manager");

  // From the reception to office A, as the demo's first leg.
  GlobalPlanning::Goal global_goal;
  global_goal.current_planning_id = "dijkstra";
  global_goal.goal_poses = {test_support::pose(3.0, 13.5)};
  global_goal.action_id = 1;
  const auto global_reply =
      task_manager.waitFor(task_manager.send<GlobalPlanning>("global_planning", global_goal));
  ASSERT_TRUE(global_reply.succeeded());
  ASSERT_FALSE(global_reply.result->multi_paths.paths.empty());
  const auto& path = global_reply.result->multi_paths.paths.back().nav_path.poses;
  ASSERT_FALSE(path.empty());
  EXPECT_NEAR(path.back().pose.position.x, 3.0, 0.1);
  EXPECT_NEAR(path.back().pose.position.y, 13.5, 0.1);

  LocalPlanning::Goal local_goal;
  local_goal.current_planning_id = "dijkstra";
  local_goal.global_paths = global_reply.result->multi_paths;
  local_goal.global_path_uuid = global_reply.result->global_path_uuid;
  local_goal.action_id = 2;
  const auto local_reply =
      task_manager.waitFor(task_manager.send<LocalPlanning>("local_planning", local_goal));
  ASSERT_TRUE(local_reply.succeeded());
  EXPECT_FALSE(local_reply.result->local_path.nav_path.poses.empty());
}

}  // namespace
