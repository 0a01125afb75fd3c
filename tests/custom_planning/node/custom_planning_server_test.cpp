#include "planning/custom_planning/custom_planning_server.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <thread>

#include "lifecycle_msgs/msg/state.hpp"
#include "rclcpp/executors/multi_threaded_executor.hpp"
#include "rclcpp/executors/single_threaded_executor.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_testing/manual_clock.hpp"
#include "support/log_capture.hpp"

namespace {

using planning::custom_planning::CustomPlanningServer;
using CallbackReturn = CustomPlanningServer::CallbackReturn;
using WaterUptakePath = vantrell_protocol::srv::WaterUptakePath;
using lifecycle_msgs::msg::State;

constexpr char kService[] = "/vantrell_nav2_custom_planning/WaterUptakePath";
constexpr char kActivateLine[] = "[INFO]  water_uptake_path_server_ is activate";

class CustomPlanningServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { rclcpp::init(0, nullptr); }
  static void TearDownTestSuite() { rclcpp::shutdown(); }

  void SetUp() override {
    log_ = test_support::clearedLog();
    clock_ = std::make_unique<rclcpp_testing::ManualClock>(rclcpp::Time(1000, 0, RCL_ROS_TIME));
    helper_ = rclcpp::Node::make_shared("custom_planning_helper");
    client_ = helper_->create_client<WaterUptakePath>(kService);
    cmd_vel_pub_ = helper_->create_publisher<geometry_msgs::msg::Twist>("/cmd_vel", 10);
    node_ = std::make_shared<CustomPlanningServer>(rclcpp::NodeOptions());
    executor_.add_node(helper_);
    executor_.add_node(node_->get_node_base_interface());
  }

  void TearDown() override {
    if (node_) {
      executor_.remove_node(node_->get_node_base_interface());
    }
    executor_.remove_node(helper_);
    node_.reset();
    client_.reset();
    cmd_vel_pub_.reset();
    helper_.reset();
    clock_.reset();
  }

  int logged(const std::string& text) const {
    const auto texts = log_->texts();
    return static_cast<int>(std::count_if(texts.begin(), texts.end(), [&](const std::string& t) {
      return t.find(text) != std::string::npos;
    }));
  }

  uint8_t stateId() { return node_->get_current_state().id(); }

  // An empty request gets an (empty) answer while the service exists.
  bool serviceAnswers() {
    if (!client_->service_is_ready()) {
      return false;
    }
    auto pending = client_->async_send_request(std::make_shared<WaterUptakePath::Request>());
    return executor_.spin_until_future_complete(pending.future, std::chrono::seconds(30)) ==
               rclcpp::FutureReturnCode::SUCCESS &&
           pending.future.get()->path.empty();
  }

  // Drives the monitor to a long backward motion; true when it reported one.
  bool monitorReports() {
    node_->set_parameter(rclcpp::Parameter("task_mode", 201));
    const int before = logged("detect abnormal path, Error style is long_backward");
    geometry_msgs::msg::Twist back;
    back.linear.x = -0.2;
    for (int i = 0; i < 80; ++i) {
      cmd_vel_pub_->publish(back);
      executor_.spin_some();
    }
    clock_->advance(std::chrono::seconds(31));
    executor_.spin_some();
    return logged("detect abnormal path, Error style is long_backward") == before + 1;
  }

  std::shared_ptr<test_support::CaptureSink> log_;
  std::unique_ptr<rclcpp_testing::ManualClock> clock_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  rclcpp::Node::SharedPtr helper_;
  rclcpp::Client<WaterUptakePath>::SharedPtr client_;
  rclcpp::Publisher<geometry_msgs::msg::Twist>::SharedPtr cmd_vel_pub_;
  std::shared_ptr<CustomPlanningServer> node_;
};

TEST_F(CustomPlanningServerTest, ConstructionCreatesNothing) {
  EXPECT_STREQ(node_->get_name(), "vantrell_nav2_custom_planning");
  EXPECT_STREQ(node_->get_namespace(), "/");
  EXPECT_EQ(stateId(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_FALSE(node_->has_parameter("water_uptake_path_server.task_finish_path_len"));
  EXPECT_FALSE(node_->has_parameter("path_monitor_server.vel_history_size"));
  EXPECT_FALSE(client_->service_is_ready());
  EXPECT_EQ(helper_->count_subscribers("/cmd_vel"), 0u);
  EXPECT_TRUE(log_->texts().empty());
}

TEST_F(CustomPlanningServerTest, ConfigureBringsUpTheServiceAndTheMonitor) {
  CallbackReturn code = CallbackReturn::ERROR;
  node_->configure(code);
  EXPECT_EQ(code, CallbackReturn::SUCCESS);
  EXPECT_EQ(stateId(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_TRUE(node_->has_parameter("water_uptake_path_server.task_finish_path_len"));
  EXPECT_TRUE(node_->has_parameter("path_monitor_server.vel_history_size"));
  EXPECT_TRUE(serviceAnswers());
  EXPECT_EQ(helper_->count_subscribers("/cmd_vel"), 1u);
  EXPECT_EQ(logged(kActivateLine), 0);
  // The server's constructor writes its parameter lines, whichever helper does the work.
  const auto records = log_->records();
  const auto parameters = std::find_if(records.begin(), records.end(), [](const auto& record) {
    return record.text.find(" task_finish_path_len_ is :8") != std::string::npos;
  });
  ASSERT_NE(parameters, records.end());
  EXPECT_EQ(parameters->function, "WaterUptakePathServer");
  // The monitor works before activation.
  EXPECT_TRUE(monitorReports());
}

TEST_F(CustomPlanningServerTest, ActivateOnlyLogs) {
  node_->configure();
  CallbackReturn code = CallbackReturn::ERROR;
  node_->activate(code);
  EXPECT_EQ(code, CallbackReturn::SUCCESS);
  EXPECT_EQ(stateId(), State::PRIMARY_STATE_ACTIVE);
  EXPECT_EQ(logged(kActivateLine), 1);
  EXPECT_TRUE(serviceAnswers());
  EXPECT_TRUE(monitorReports());
}

TEST_F(CustomPlanningServerTest, DeactivateDropsTheServiceButNotTheMonitor) {
  node_->configure();
  node_->activate();
  CallbackReturn code = CallbackReturn::ERROR;
  node_->deactivate(code);
  EXPECT_EQ(code, CallbackReturn::SUCCESS);
  EXPECT_EQ(stateId(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_FALSE(serviceAnswers());
  EXPECT_TRUE(monitorReports());

  // Activating again logs again but brings nothing back.
  node_->activate(code);
  EXPECT_EQ(code, CallbackReturn::SUCCESS);
  EXPECT_EQ(logged(kActivateLine), 2);
  EXPECT_FALSE(serviceAnswers());
  EXPECT_TRUE(monitorReports());
}

TEST_F(CustomPlanningServerTest, CleanupAndConfigureAgainBuildFreshComponents) {
  node_->configure();
  CallbackReturn code = CallbackReturn::ERROR;
  node_->cleanup(code);
  EXPECT_EQ(code, CallbackReturn::SUCCESS);
  EXPECT_EQ(stateId(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_FALSE(serviceAnswers());
  EXPECT_TRUE(monitorReports());

  node_->configure(code);
  EXPECT_EQ(code, CallbackReturn::SUCCESS);
  EXPECT_TRUE(serviceAnswers());
  // The first monitor went with its replacement: one subscriber, one report.
  EXPECT_EQ(helper_->count_subscribers("/cmd_vel"), 1u);
  EXPECT_EQ(helper_->count_subscribers("/vantrell_nav2_planning/local_planning_path"), 1u);
  EXPECT_TRUE(monitorReports());
}

TEST_F(CustomPlanningServerTest, ShutdownChangesNothing) {
  node_->configure();
  node_->activate();
  CallbackReturn code = CallbackReturn::ERROR;
  node_->shutdown(code);
  EXPECT_EQ(code, CallbackReturn::SUCCESS);
  EXPECT_EQ(stateId(), State::PRIMARY_STATE_FINALIZED);
  EXPECT_TRUE(serviceAnswers());
  EXPECT_TRUE(monitorReports());
}

TEST_F(CustomPlanningServerTest, ShutdownOfAnUnconfiguredNode) {
  CallbackReturn code = CallbackReturn::ERROR;
  node_->shutdown(code);
  EXPECT_EQ(code, CallbackReturn::SUCCESS);
  EXPECT_EQ(stateId(), State::PRIMARY_STATE_FINALIZED);
  EXPECT_FALSE(client_->service_is_ready());
}

TEST_F(CustomPlanningServerTest, ANodeNobodySharesCannotBeConfigured) {
  CustomPlanningServer on_stack{rclcpp::NodeOptions()};
  CallbackReturn code = CallbackReturn::SUCCESS;
  on_stack.configure(code);
  EXPECT_NE(code, CallbackReturn::SUCCESS);
  EXPECT_FALSE(on_stack.has_parameter("water_uptake_path_server.task_finish_path_len"));
}

TEST_F(CustomPlanningServerTest, DroppingTheNodeTearsEverythingDown) {
  node_->configure();
  node_->activate();
  ASSERT_TRUE(serviceAnswers());
  ASSERT_EQ(helper_->count_subscribers("/cmd_vel"), 1u);

  const std::weak_ptr<CustomPlanningServer> watch = node_;
  executor_.remove_node(node_->get_node_base_interface());
  node_.reset();
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(helper_->count_subscribers("/cmd_vel"), 0u);
  EXPECT_EQ(helper_->count_subscribers("/vantrell_nav2_planning/local_planning_path"), 0u);
  EXPECT_FALSE(client_->service_is_ready());
  // Time moving on finds no timer of the dead monitor.
  clock_->advance(std::chrono::minutes(5));
  executor_.spin_some();
}

TEST_F(CustomPlanningServerTest, DroppingANodeWithAWaitingRecordingRequest) {
  node_->configure();
  ASSERT_TRUE(monitorReports());  // a recording request now waits a minute
  const std::weak_ptr<CustomPlanningServer> watch = node_;
  executor_.remove_node(node_->get_node_base_interface());
  node_.reset();
  EXPECT_TRUE(watch.expired());
  clock_->advance(std::chrono::minutes(2));
  executor_.spin_some();
}

// A host may configure the node from its own thread while an executor spins it on others (the
// demo host does). Velocity commands and water-uptake requests keep arriving all the while: none
// may meet a monitor or a service whose state is not set yet.
TEST_F(CustomPlanningServerTest, ConfigureFromAnotherThreadWhileTrafficArrives) {
  executor_.remove_node(node_->get_node_base_interface());
  executor_.remove_node(helper_);
  rclcpp::executors::MultiThreadedExecutor spinning(rclcpp::ExecutorOptions(), 3);
  spinning.add_node(helper_);
  spinning.add_node(node_->get_node_base_interface());
  std::exception_ptr spin_error;
  std::thread spinner([&spinning, &spin_error] {
    try {
      spinning.spin();
    } catch (...) {
      spin_error = std::current_exception();
    }
  });
  std::atomic<bool> stop{false};
  std::atomic<int> answered{0};
  std::thread traffic([this, &stop, &answered] {
    // Without a zone the service answers at once.
    const auto request = std::make_shared<WaterUptakePath::Request>();
    geometry_msgs::msg::Twist twist;
    twist.linear.x = 0.1;
    while (!stop) {
      cmd_vel_pub_->publish(twist);
      if (client_->service_is_ready()) {
        client_->async_send_request(
            request, [&answered](rclcpp::Client<WaterUptakePath>::SharedFuture) { ++answered; });
      }
    }
  });

  for (int cycle = 0; cycle < 20; ++cycle) {
    EXPECT_EQ(node_->configure().id(), State::PRIMARY_STATE_INACTIVE);
    EXPECT_EQ(node_->cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);
  }
  EXPECT_EQ(node_->configure().id(), State::PRIMARY_STATE_INACTIVE);
  stop = true;
  traffic.join();
  spinning.cancel();
  spinner.join();
  spinning.remove_node(node_->get_node_base_interface());
  spinning.remove_node(helper_);
  executor_.add_node(helper_);
  executor_.add_node(node_->get_node_base_interface());

  EXPECT_FALSE(spin_error);
  EXPECT_GT(answered.load(), 0);
  EXPECT_EQ(helper_->count_subscribers("/cmd_vel"), 1u);
}

// An integer parameter an int cannot hold fails configure, naming it, instead of being wrapped
// (4294967296 samples would read as 0, then as 1).
TEST_F(CustomPlanningServerTest, AnIntegerParameterOutOfRangeFailsConfigure) {
  executor_.remove_node(node_->get_node_base_interface());
  rclcpp::NodeOptions options;
  options.append_parameter_override("path_monitor_server.vel_history_size", int64_t{4294967296});
  node_ = std::make_shared<CustomPlanningServer>(options);
  executor_.add_node(node_->get_node_base_interface());
  CallbackReturn code = CallbackReturn::SUCCESS;
  node_->configure(code);
  EXPECT_EQ(code, CallbackReturn::ERROR);
  EXPECT_EQ(logged("[ERROR] parameter \"path_monitor_server.vel_history_size\" is 4294967296, "
                   "outside -2147483648 to 2147483647"),
            1);
  EXPECT_EQ(helper_->count_subscribers("/cmd_vel"), 0u);
}

}  // namespace
