#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
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

TEST(Service, EachClientGetsItsOwnAnswers) {
  auto node = std::make_shared<rclcpp::Node>("shared_server");
  std::vector<int64_t> sequence_numbers;
  auto service = node->create_service<Sum>(
      "/shared_sum", [&sequence_numbers](const std::shared_ptr<rmw_request_id_t> header,
                                         const std::shared_ptr<Sum::Request> request,
                                         std::shared_ptr<Sum::Response> response) {
        sequence_numbers.push_back(header->sequence_number);
        response->sum = request->a + request->b;
      });
  auto first = node->create_client<Sum>("/shared_sum");
  auto second = node->create_client<Sum>("shared_sum");  // relative: the same service
  auto first_a = first->async_send_request(request_of(1, 1));
  auto second_a = second->async_send_request(request_of(100, 100));
  auto first_b = first->async_send_request(request_of(2, 2));
  // Request numbers count per client from one.
  EXPECT_EQ(first_a.request_id, 1);
  EXPECT_EQ(first_b.request_id, 2);
  EXPECT_EQ(second_a.request_id, 1);
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  EXPECT_EQ(executor.spin_until_future_complete(first_b.future, 10s),
            rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(executor.spin_until_future_complete(second_a.future, 10s),
            rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(first_a.get()->sum, 2);
  EXPECT_EQ(first_b.get()->sum, 4);
  EXPECT_EQ(second_a.get()->sum, 200);
  EXPECT_EQ(sequence_numbers, (std::vector<int64_t>{1, 1, 2}));
}

TEST(Service, ServiceWorksOnItsOwnCopyOfTheRequest) {
  auto node = std::make_shared<rclcpp::Node>("copying_server");
  auto service = make_sum_service(node);
  auto client = node->create_client<Sum>("/sum");
  auto request = request_of(3, 4);
  auto result = client->async_send_request(request);
  request->a = 1000;  // changed after sending: the service must not see it
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  ASSERT_EQ(executor.spin_until_future_complete(result.future, 10s),
            rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(result.get()->sum, 7);
}

TEST(Service, CallbackWithTheRequestGetsBoth) {
  auto node = std::make_shared<rclcpp::Node>("paired_server");
  auto service = make_sum_service(node);
  auto client = node->create_client<Sum>("/sum");
  std::pair<int64_t, int64_t> seen{0, 0};
  auto result = client->async_send_request(request_of(5, 8),
                                           [&seen](rclcpp::Client<Sum>::SharedFutureWithRequest f) {
                                             seen = {f.get().first->a, f.get().second->sum};
                                           });
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  ASSERT_EQ(executor.spin_until_future_complete(result.future, 10s),
            rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(seen, std::make_pair(int64_t{5}, int64_t{13}));
}

TEST(Service, RemovedPendingRequestIsNeverAnswered) {
  auto node = std::make_shared<rclcpp::Node>("forgetful_client");
  auto service = make_sum_service(node);
  auto client = node->create_client<Sum>("/sum");
  int callbacks = 0;
  auto dropped = client->async_send_request(
      request_of(1, 2), [&callbacks](rclcpp::Client<Sum>::SharedFuture) { ++callbacks; });
  auto kept = client->async_send_request(request_of(3, 4));
  EXPECT_TRUE(client->remove_pending_request(dropped.request_id));
  EXPECT_FALSE(client->remove_pending_request(dropped.request_id));
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  ASSERT_EQ(executor.spin_until_future_complete(kept.future, 10s),
            rclcpp::FutureReturnCode::SUCCESS);
  executor.spin_all(1s);
  EXPECT_EQ(callbacks, 0);
  EXPECT_EQ(kept.get()->sum, 7);
  client->async_send_request(request_of(0, 0));
  client->async_send_request(request_of(0, 0));
  EXPECT_EQ(client->prune_pending_requests(), 2u);
}

TEST(Service, ServiceOfAnotherTypeUnderTheNameIsNotReady) {
  struct Other {
    using Request = test_msgs::srv::Sum_Request;
    using Response = test_msgs::srv::Sum_Response;
  };
  auto node = std::make_shared<rclcpp::Node>("typed_services");
  auto other = node->create_service<Other>(
      "/typed_sum", [](const std::shared_ptr<Sum::Request>, std::shared_ptr<Sum::Response>) {});
  auto client = node->create_client<Sum>("/typed_sum");
  EXPECT_FALSE(client->service_is_ready());
  EXPECT_FALSE(client->wait_for_service(0ms));
}

TEST(Service, ServiceDestroyedWithADeferredRequestLeavesTheFutureUnready) {
  auto node = std::make_shared<rclcpp::Node>("deferring_and_leaving");
  bool taken = false;
  auto service = node->create_service<Sum>(
      "/leaving_sum", [&taken](std::shared_ptr<rmw_request_id_t>, std::shared_ptr<Sum::Request>) {
        taken = true;  // means to answer later, but goes away first
      });
  auto client = node->create_client<Sum>("/leaving_sum");
  auto result = client->async_send_request(request_of(1, 1));
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  executor.spin_some();
  ASSERT_TRUE(taken);
  service.reset();
  EXPECT_FALSE(client->service_is_ready());
  EXPECT_EQ(executor.spin_until_future_complete(result.future, 20ms),
            rclcpp::FutureReturnCode::TIMEOUT);
}

TEST(Service, LateAnswerToAVanishedClientIsDropped) {
  // The client gave up and went away before the answer: the server must be
  // able to answer anyway, as it would over a network.
  auto node = std::make_shared<rclcpp::Node>("late_answer");
  std::shared_ptr<rmw_request_id_t> pending;
  auto service = node->create_service<Sum>(
      "/late_answer_sum", [&pending](std::shared_ptr<rmw_request_id_t> header,
                                     std::shared_ptr<Sum::Request>) { pending = header; });
  auto client = node->create_client<Sum>("/late_answer_sum");
  client->async_send_request(request_of(1, 1));
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  executor.spin_some();
  ASSERT_TRUE(pending);
  client.reset();
  Sum::Response response;
  EXPECT_NO_THROW(service->send_response(*pending, response));
  executor.spin_all(1s);
}

TEST(Service, ResponseCallbackRunsOnTheClientsExecutorThread) {
  auto server_node = std::make_shared<rclcpp::Node>("threaded_server");
  auto service = make_sum_service(server_node);
  rclcpp::executors::SingleThreadedExecutor server_executor;
  server_executor.add_node(server_node);
  SpinThread server_spin(server_executor);

  auto client_node = std::make_shared<rclcpp::Node>("threaded_client");
  auto client = client_node->create_client<Sum>("/sum");
  rclcpp::executors::SingleThreadedExecutor client_executor;
  client_executor.add_node(client_node);
  std::promise<std::thread::id> spinner_id;
  rclcpp::TimerBase::SharedPtr marker;
  marker = client_node->create_wall_timer(0ms, [&spinner_id, &marker]() {
    marker->cancel();
    spinner_id.set_value(std::this_thread::get_id());
  });
  std::promise<std::thread::id> callback_id;
  SpinThread client_spin(client_executor);
  client->async_send_request(request_of(1, 1), [&callback_id](rclcpp::Client<Sum>::SharedFuture) {
    callback_id.set_value(std::this_thread::get_id());
  });
  auto spinner = spinner_id.get_future();
  auto callback = callback_id.get_future();
  ASSERT_EQ(spinner.wait_for(10s), std::future_status::ready);
  ASSERT_EQ(callback.wait_for(10s), std::future_status::ready);
  const auto spinner_thread = spinner.get();
  EXPECT_EQ(callback.get(), spinner_thread);
  EXPECT_NE(spinner_thread, std::this_thread::get_id());
}

TEST(Service, ShutdownEndsWaitsForServersWithoutTimeout) {
  auto node = std::make_shared<rclcpp::Node>("shutdown_waiter");
  auto client = node->create_client<Sum>("/never_served");
  auto action_client = rclcpp_action::create_client<test_msgs::action::Count>(node, "never_acted");
  std::promise<void> waiting;
  auto waited = std::async(std::launch::async, [&]() {
    waiting.set_value();
    return client->wait_for_service();  // no timeout: only shutdown can end it
  });
  auto action_waited =
      std::async(std::launch::async, [&]() { return action_client->wait_for_action_server(); });
  waiting.get_future().wait();
  rclcpp::shutdown();
  const bool ended = waited.wait_for(10s) == std::future_status::ready &&
                     action_waited.wait_for(10s) == std::future_status::ready;
  if (!ended) {
    // Let the waiters go so that the test can end: any change of the graph
    // makes them look at the context again.
    node->create_publisher<test_msgs::srv::Sum_Request>("/shutdown_rescue", 1);
  }
  EXPECT_TRUE(ended);
  EXPECT_FALSE(waited.get());
  EXPECT_FALSE(action_waited.get());
  if (!rclcpp::ok()) {
    rclcpp::init(0, nullptr, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  }
}

}  // namespace
