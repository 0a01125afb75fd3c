#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "spin_thread.hpp"
#include "test_types.hpp"

namespace {

using namespace std::chrono_literals;
using rclcpp_test::SpinThread;
using test_msgs::srv::Sum;

rclcpp::Service<Sum>::SharedPtr make_sum_service(const rclcpp::Node::SharedPtr& node) {
  return node->create_service<Sum>("sum", [](const std::shared_ptr<Sum::Request> request,
                                             std::shared_ptr<Sum::Response> response) {
    response->sum = request->a + request->b;
  });
}

std::shared_ptr<Sum::Request> request_of(int64_t a, int64_t b) {
  auto request = std::make_shared<Sum::Request>();
  request->a = a;
  request->b = b;
  return request;
}

TEST(Service, RoundTripThroughAPrivateExecutorThread) {
  auto server_node = std::make_shared<rclcpp::Node>("sum_server", "/calc");
  auto service = make_sum_service(server_node);
  rclcpp::executors::SingleThreadedExecutor server_executor;
  server_executor.add_node(server_node);
  SpinThread server_spin(server_executor);

  // As a planner does it: the client in a group of its own, spun by a private
  // executor on its own thread; this thread only sends and waits.
  auto client_node = std::make_shared<rclcpp::Node>("sum_client", "/calc");
  auto group =
      client_node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  auto client =
      client_node->create_client<Sum>("/calc/sum", rmw_qos_profile_services_default, group);
  rclcpp::executors::SingleThreadedExecutor client_executor;
  client_executor.add_callback_group(group, client_node->get_node_base_interface());
  SpinThread client_spin(client_executor);

  ASSERT_TRUE(client->wait_for_service(1s));
  auto result = client->async_send_request(request_of(2, 40));
  ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(result.get()->sum, 42);
  EXPECT_GT(result.request_id, 0);

  std::promise<int64_t> via_callback;
  client->async_send_request(request_of(1, 2),
                             [&via_callback](rclcpp::Client<Sum>::SharedFuture f) {
                               via_callback.set_value(f.get()->sum);
                             });
  auto answer = via_callback.get_future();
  ASSERT_EQ(answer.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(answer.get(), 3);
}

TEST(Service, WaitForServiceIsFalseWithoutAServer) {
  auto node = std::make_shared<rclcpp::Node>("lonely_client");
  auto client = node->create_client<Sum>("nobody_serves_this");
  EXPECT_FALSE(client->service_is_ready());
  EXPECT_FALSE(client->wait_for_service(20ms));
}

TEST(Service, WaitForServiceWakesWhenTheServerAppears) {
  auto node = std::make_shared<rclcpp::Node>("patient_client");
  auto client = node->create_client<Sum>("/late_sum");
  std::promise<void> waiting;
  auto waited = std::async(std::launch::async, [&]() {
    waiting.set_value();
    return client->wait_for_service(10s);
  });
  waiting.get_future().wait();
  auto server_node = std::make_shared<rclcpp::Node>("late_server");
  auto service = server_node->create_service<Sum>(
      "/late_sum", [](const std::shared_ptr<Sum::Request>, std::shared_ptr<Sum::Response>) {});
  EXPECT_TRUE(waited.get());
}

TEST(Service, ResponseArrivesOnlyWhileTheClientIsSpun) {
  auto server_node = std::make_shared<rclcpp::Node>("served");
  std::promise<void> served;
  auto service = server_node->create_service<Sum>(
      "/spun_sum", [&served](const std::shared_ptr<Sum::Request> request,
                             std::shared_ptr<Sum::Response> response) {
        response->sum = request->a * 10;
        served.set_value();
      });
  rclcpp::executors::SingleThreadedExecutor server_executor;
  server_executor.add_node(server_node);
  SpinThread server_spin(server_executor);

  auto client_node = std::make_shared<rclcpp::Node>("unspun_client");
  auto client = client_node->create_client<Sum>("/spun_sum");
  auto result = client->async_send_request(request_of(4, 0));
  ASSERT_EQ(served.get_future().wait_for(10s), std::future_status::ready);
  // The response waits in the client's queue until its group is spun.
  EXPECT_EQ(result.wait_for(0s), std::future_status::timeout);
  rclcpp::executors::SingleThreadedExecutor client_executor;
  client_executor.add_node(client_node);
  EXPECT_EQ(client_executor.spin_until_future_complete(result.future, 10s),
            rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(result.get()->sum, 40);
}

TEST(Service, RequestToAVanishedServiceStaysUnanswered) {
  auto server_node = std::make_shared<rclcpp::Node>("vanishing");
  auto service = make_sum_service(server_node);
  auto client_node = std::make_shared<rclcpp::Node>("abandoned_client");
  auto client = client_node->create_client<Sum>("/sum");
  ASSERT_TRUE(client->service_is_ready());
  auto result = client->async_send_request(request_of(1, 1));
  service.reset();  // gone before any executor served the request
  EXPECT_FALSE(client->service_is_ready());
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(server_node);
  executor.add_node(client_node);
  EXPECT_EQ(executor.spin_until_future_complete(result.future, 30ms),
            rclcpp::FutureReturnCode::TIMEOUT);
}

TEST(Service, DestroyedClientBreaksItsPendingFutures) {
  auto node = std::make_shared<rclcpp::Node>("broken_promise");
  auto service = make_sum_service(node);
  auto client = node->create_client<Sum>("/sum");
  auto result = client->async_send_request(request_of(1, 1));
  auto future = result.share();
  client.reset();
  ASSERT_EQ(future.wait_for(0s), std::future_status::ready);
  EXPECT_THROW(future.get(), std::future_error);
}

TEST(Service, DeferredResponse) {
  auto node = std::make_shared<rclcpp::Node>("deferring");
  std::shared_ptr<rmw_request_id_t> pending_header;
  std::shared_ptr<Sum::Request> pending_request;
  auto service = node->create_service<Sum>(
      "/deferred_sum",
      [&](std::shared_ptr<rmw_request_id_t> header, std::shared_ptr<Sum::Request> request) {
        pending_header = header;
        pending_request = request;
      });
  auto client = node->create_client<Sum>("/deferred_sum");
  auto result = client->async_send_request(request_of(5, 6));
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  executor.spin_some();
  ASSERT_TRUE(pending_header);
  Sum::Response response;
  response.sum = pending_request->a + pending_request->b;
  service->send_response(*pending_header, response);
  EXPECT_EQ(executor.spin_until_future_complete(result.future, 10s),
            rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(result.get()->sum, 11);
}

}  // namespace
