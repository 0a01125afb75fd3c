// The covered-points client as the coverage planners hold it: in a callback
// group of its own on a lifecycle node, spun either by a private executor on
// a thread of the planner's or by the node's executor, while the planning
// thread sends and waits with timeouts.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "spin_thread.hpp"
#include "vantrell_nav2_protocol/srv/get_covered_points.hpp"

namespace {

using namespace std::chrono_literals;
using GetCoveredPoints = vantrell_nav2_protocol::srv::GetCoveredPoints;
using rclcpp_test::SpinThread;

// A task centre that answers with as many covered poses as the flag asks for.
class TaskCentre {
 public:
  explicit TaskCentre(const std::string& service_name)
      : node_(std::make_shared<rclcpp::Node>("task_centre")),
        service_(node_->create_service<GetCoveredPoints>(
            service_name, [](const std::shared_ptr<GetCoveredPoints::Request> request,
                             std::shared_ptr<GetCoveredPoints::Response> response) {
              response->covered_poses.resize(request->request_flag);
              response->success = true;
            })) {
    executor_.add_node(node_);
    spinning_.emplace(executor_);
  }

 private:
  rclcpp::Node::SharedPtr node_;
  rclcpp::Service<GetCoveredPoints>::SharedPtr service_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::optional<SpinThread> spinning_;
};

std::shared_ptr<GetCoveredPoints::Request> ask(uint8_t flag) {
  auto request = std::make_shared<GetCoveredPoints::Request>();
  request->request_flag = flag;
  return request;
}

TEST(CoverageClient, PrivateExecutorServesTheClientWhileTheNodesExecutorIsIdle) {
  TaskCentre centre("/get_coverage_point");
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("local_planning");
  // The host has the node on its executor but is not spinning it now.
  rclcpp::executors::SingleThreadedExecutor node_executor;
  node_executor.add_node(node->get_node_base_interface());

  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, true);
  auto client = node->create_client<GetCoveredPoints>("/get_coverage_point",
                                                      rmw_qos_profile_services_default, group);
  auto private_executor = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  private_executor->add_callback_group(group, node->get_node_base_interface(), true);
  std::thread spin_thread([private_executor]() { private_executor->spin(); });

  ASSERT_TRUE(client->wait_for_service(100ms));
  for (uint8_t flag : {3, 5}) {
    auto result = client->async_send_request(ask(flag));
    ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(result.get()->covered_poses.size(), flag);
  }

  // The group stays with the private executor: the node's executor finds
  // nothing of it, and no other executor may take it.
  node_executor.spin_some();
  rclcpp::executors::SingleThreadedExecutor second;
  EXPECT_THROW(second.add_callback_group(group, node->get_node_base_interface()),
               std::runtime_error);

  // An orderly end: the spin returns once cancelled, whenever that comes.
  while (!private_executor->is_spinning()) {
    std::this_thread::yield();
  }
  private_executor->cancel();
  spin_thread.join();
}

TEST(CoverageClient, WaitsEndAtTheirTimeouts) {
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("static_coverage");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, true);
  auto client = node->create_client<GetCoveredPoints>("/covered_nowhere",
                                                      rmw_qos_profile_services_default, group);
  EXPECT_FALSE(client->wait_for_service(100ms));

  // A centre that holds its answers until told.
  auto centre = std::make_shared<rclcpp::Node>("slow_centre");
  std::shared_ptr<rmw_request_id_t> held;
  rclcpp::Service<GetCoveredPoints>::SharedPtr service;
  service = centre->create_service<GetCoveredPoints>(
      "/covered_nowhere", [&held](std::shared_ptr<rmw_request_id_t> header,
                                  std::shared_ptr<GetCoveredPoints::Request>) { held = header; });
  ASSERT_TRUE(client->wait_for_service(100ms));

  // The node's executor serves both the centre and the client's group.
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node->get_node_base_interface());
  executor.add_node(centre);
  auto result = client->async_send_request(ask(2));
  executor.spin_some();
  ASSERT_TRUE(held);
  EXPECT_EQ(result.wait_for(50ms), std::future_status::timeout);

  GetCoveredPoints::Response answer;
  answer.success = true;
  service->send_response(*held, answer);
  EXPECT_EQ(executor.spin_until_future_complete(result.future, 10s),
            rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_TRUE(result.get()->success);
}

}  // namespace
