#include "vantrell_nav2_base_class/publish_log_trace.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "logger/logger.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "std_msgs/msg/string.hpp"
#include "support/log_capture.hpp"

namespace {

std::string formatUtc(std::time_t seconds) {
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char buffer[32];
  std::strftime(buffer, sizeof(buffer), "%Y-%m-%d %H:%M:%S", &utc);
  return buffer;
}

// The text of a trace line after its "YYYY-MM-DD hh:mm:ss [DEBUG] " head, or a
// note saying what is wrong with the head.
std::string textAfterStamp(const std::string& line) {
  const std::string shape = "dddd-dd-dd dd:dd:dd";
  if (line.size() < shape.size()) {
    return "<too short: " + line + ">";
  }
  for (size_t i = 0; i < shape.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
    if (shape[i] == 'd' ? !digit : line[i] != shape[i]) {
      return "<bad stamp: " + line + ">";
    }
  }
  const std::string tag = " [DEBUG] ";
  if (line.compare(shape.size(), tag.size(), tag) != 0) {
    return "<no tag: " + line + ">";
  }
  return line.substr(shape.size() + tag.size());
}

class TracePublisher : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    capture_ = test_support::clearedLog();
    planning_node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("trace_planning_node");
    listener_node_ = std::make_shared<rclcpp::Node>("trace_listener_node");
    subscription_ = listener_node_->create_subscription<std_msgs::msg::String>(
        "planning_debug", rclcpp::QoS(10),
        [this](std_msgs::msg::String::ConstSharedPtr message) { lines_.push_back(message->data); });
    executor_.add_node(listener_node_);
  }

  void TearDown() override { executor_.remove_node(listener_node_); }

  std::vector<std::string> receivedLines() {
    executor_.spin_all(std::chrono::seconds(5));
    return lines_;
  }

  std::shared_ptr<test_support::CaptureSink> capture_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> planning_node_;
  std::shared_ptr<rclcpp::Node> listener_node_;
  rclcpp::Subscription<std_msgs::msg::String>::SharedPtr subscription_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::vector<std::string> lines_;
};

TEST_F(TracePublisher, PublishesTheStampedLineEvenWhenTheLogHidesTheRecord) {
  ASSERT_EQ(vantrell::Logger::Instance("spdlog").level_, 2);
  const auto count_before = vantrell::Logger::Instance("spdlog").count_.load();
  // Never configured nor activated: trace lines go out regardless.
  auto trace = std::make_shared<LogPublisher>(planning_node_);

  trace->pub_debug("[LocalAstar] setSpeedLimit rate is {}", 0.5);
  trace->pub_debug("plain text without arguments");
  trace->pub_debug("{} {} {}", true, false, std::string("flags"));

  const auto lines = receivedLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(textAfterStamp(lines[0]), "[LocalAstar] setSpeedLimit rate is 0.5");
  EXPECT_EQ(textAfterStamp(lines[1]), "plain text without arguments");
  EXPECT_EQ(textAfterStamp(lines[2]), "true false flags");

  EXPECT_TRUE(capture_->records().empty());
  EXPECT_EQ(vantrell::Logger::Instance("spdlog").count_.load(), count_before);
}

// A planning node keeps its trace publisher for its whole life.
class TracingNode : public rclcpp_lifecycle::LifecycleNode {
 public:
  TracingNode() : rclcpp_lifecycle::LifecycleNode("tracing_node") {}
  void makeTrace() { trace_ = std::make_shared<LogPublisher>(shared_from_this()); }

 private:
  std::shared_ptr<LogPublisher> trace_;
};

TEST(TracePublisherLifetime, DoesNotKeepItsNodeAlive) {
  auto node = std::make_shared<TracingNode>();
  node->makeTrace();
  const std::weak_ptr<TracingNode> watched = node;
  node.reset();
  EXPECT_TRUE(watched.expired());
}

TEST_F(TracePublisher, PublishLinesGoOutUnchanged) {
  LogPublisher trace(planning_node_);
  trace.publish("exact line {}");
  EXPECT_EQ(receivedLines(), std::vector<std::string>{"exact line {}"});
}

TEST_F(TracePublisher, AMismatchedFormatIsPublishedAsItIsRatherThanThrown) {
  LogPublisher trace(planning_node_);
  EXPECT_NO_THROW(trace.pub_debug("index {} of {}", 3));
  const auto lines = receivedLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(textAfterStamp(lines[0]), "index {} of {}");
}

// A component traces through its publisher once it has one; before that the line goes only to
// the log, where this test's INFO level hides it.
TEST_F(TracePublisher, ATraceLineGoesOutOnceThePublisherIsThere) {
  std::shared_ptr<LogPublisher> trace;
  EXPECT_NO_THROW(traceLine(trace, "before {}", 1));
  trace = std::make_shared<LogPublisher>(planning_node_);
  traceLine(trace, "after {}", 2);
  const auto lines = receivedLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(textAfterStamp(lines[0]), "after 2");
  EXPECT_TRUE(capture_->records().empty());
}

TEST(CurrentTimeString, IsLocalTimeInWholeSeconds) {
  // Three hours east of UTC, spelled so that no time-zone database is needed.
  const char* saved = std::getenv("TZ");
  const std::string saved_tz = saved ? saved : "";
  setenv("TZ", "VTL-3", 1);
  tzset();

  const std::time_t before = std::time(nullptr);
  const std::string stamp = getCurrentTimeString();
  const std::time_t after = std::time(nullptr);

  if (saved) {
    setenv("TZ", saved_tz.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();

  ASSERT_EQ(stamp.size(), 19u);
  const std::time_t offset = 3 * 3600;
  EXPECT_TRUE(stamp == formatUtc(before + offset) || stamp == formatUtc(after + offset))
      << stamp << " is not " << formatUtc(before + offset);
}

}  // namespace
