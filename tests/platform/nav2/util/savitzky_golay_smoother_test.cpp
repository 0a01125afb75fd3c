#include "nav2_smoother/savitzky_golay_smoother.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "nav2_smoother/testing/smoother_faults.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace {

geometry_msgs::msg::PoseStamped pose(double x, double y, double yaw = 0.0) {
  geometry_msgs::msg::PoseStamped p;
  p.header.frame_id = "map";
  p.pose.position.x = x;
  p.pose.position.y = y;
  p.pose.orientation.z = std::sin(yaw / 2.0);
  p.pose.orientation.w = std::cos(yaw / 2.0);
  return p;
}

double yaw(const geometry_msgs::msg::PoseStamped& p) {
  const auto& q = p.pose.orientation;
  return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
}

nav_msgs::msg::Path zigzag(size_t n, double amplitude = 0.03) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  for (size_t i = 0; i < n; ++i) {
    path.poses.push_back(pose(0.1 * static_cast<double>(i), (i % 2 ? amplitude : -amplitude)));
  }
  return path;
}

// Sum of squared second differences: how much the path wiggles.
double roughness(const nav_msgs::msg::Path& path) {
  double sum = 0.0;
  for (size_t i = 1; i + 1 < path.poses.size(); ++i) {
    const auto& a = path.poses[i - 1].pose.position;
    const auto& b = path.poses[i].pose.position;
    const auto& c = path.poses[i + 1].pose.position;
    sum += std::pow(a.x - 2 * b.x + c.x, 2) + std::pow(a.y - 2 * b.y + c.y, 2);
  }
  return sum;
}

rclcpp::Duration seconds(double s) { return rclcpp::Duration::from_seconds(s); }

class SavitzkyGolaySmootherTest : public ::testing::Test {
 protected:
  void TearDown() override { nav2_smoother::testing::SmootherFaults::reset(); }

  nav2_smoother::SavitzkyGolaySmoother smoother_;
};

TEST_F(SavitzkyGolaySmootherTest, ZigzagIsFlattenedWithEndsFixed) {
  const auto original = zigzag(30);
  auto path = original;
  ASSERT_TRUE(smoother_.smooth(path, seconds(1.0)));
  ASSERT_EQ(path.poses.size(), original.poses.size());
  EXPECT_LT(roughness(path), 0.05 * roughness(original));
  EXPECT_EQ(path.poses.front(), original.poses.front());
  EXPECT_EQ(path.poses.back(), original.poses.back());
  EXPECT_EQ(path.header, original.header);
  for (size_t i = 3; i + 3 < path.poses.size(); ++i) {
    EXPECT_LT(std::abs(path.poses[i].pose.position.y), 0.01) << i;
    EXPECT_NEAR(yaw(path.poses[i]), 0.0, 0.15) << i;
    EXPECT_EQ(path.poses[i].header.frame_id, "map");
  }
}

TEST_F(SavitzkyGolaySmootherTest, StraightAndQuadraticStretchesKeepTheirShape) {
  nav_msgs::msg::Path parabola;
  for (int i = 0; i < 40; ++i) {
    const double x = 0.1 * (i - 20);
    parabola.poses.push_back(pose(x, x * x));
  }
  // Lines in every direction, due west and just either side of it too, keep their heading.
  for (const auto& [dx, dy] : std::vector<std::pair<double, double>>{{0.1, 0.05},
                                                                     {0.0, 0.1},
                                                                     {-0.1, 0.05},
                                                                     {-0.1, 1e-9},
                                                                     {-0.1, 0.0},
                                                                     {-0.1, -1e-9},
                                                                     {-0.1, -0.05},
                                                                     {0.0, -0.1},
                                                                     {0.1, -0.05}}) {
    SCOPED_TRACE(std::to_string(dx) + ", " + std::to_string(dy));
    nav_msgs::msg::Path line;
    for (int i = 0; i < 40; ++i) {
      line.poses.push_back(pose(dx * i, dy * i, std::atan2(dy, dx)));
    }
    auto smoothed_line = line;
    ASSERT_TRUE(smoother_.smooth(smoothed_line, seconds(1.0)));
    for (size_t i = 0; i < line.poses.size(); ++i) {
      EXPECT_NEAR(smoothed_line.poses[i].pose.position.x, line.poses[i].pose.position.x, 1e-9);
      EXPECT_NEAR(smoothed_line.poses[i].pose.position.y, line.poses[i].pose.position.y, 1e-9);
      EXPECT_NEAR(std::remainder(yaw(smoothed_line.poses[i]) - std::atan2(dy, dx), 2.0 * M_PI), 0.0,
                  1e-9);
    }
  }
  // A quadratic fit reproduces a parabola; the reflected ends reach three
  // poses further in with every pass.
  auto smoothed_parabola = parabola;
  ASSERT_TRUE(smoother_.smooth(smoothed_parabola, seconds(1.0)));
  for (size_t i = 10; i + 10 < parabola.poses.size(); ++i) {
    EXPECT_NEAR(smoothed_parabola.poses[i].pose.position.y, parabola.poses[i].pose.position.y,
                1e-9);
  }
}

TEST_F(SavitzkyGolaySmootherTest, ShortAndEmptyPathsAreLeftAlone) {
  nav_msgs::msg::Path empty;
  EXPECT_TRUE(smoother_.smooth(empty, seconds(1.0)));
  EXPECT_TRUE(empty.poses.empty());

  const auto short_path = zigzag(10);
  auto path = short_path;
  EXPECT_TRUE(smoother_.smooth(path, seconds(1.0)));
  EXPECT_EQ(path, short_path);

  auto single = zigzag(1);
  EXPECT_TRUE(smoother_.smooth(single, seconds(1.0)));
  EXPECT_EQ(single, zigzag(1));

  // Eleven poses are the shortest stretch that is smoothed.
  auto eleven = zigzag(11);
  EXPECT_TRUE(smoother_.smooth(eleven, seconds(1.0)));
  EXPECT_LT(roughness(eleven), roughness(zigzag(11)));
}

TEST_F(SavitzkyGolaySmootherTest, CuspSplitsThePath) {
  // Forward along +x with a wiggle, then backwards and a little to the left,
  // the robot still facing forwards.
  nav_msgs::msg::Path path;
  for (int i = 0; i <= 15; ++i) {
    path.poses.push_back(pose(0.1 * i, i % 2 ? 0.03 : -0.03, 0.0));
  }
  const double facing = std::atan2(-0.02, 0.1);
  for (int k = 1; k <= 15; ++k) {
    path.poses.push_back(pose(1.5 - 0.1 * k, 0.02 * k + (k % 2 ? -0.03 : 0.03), facing));
  }
  const auto original = path;
  const size_t cusp = 15;
  ASSERT_TRUE(smoother_.smooth(path, seconds(1.0)));
  ASSERT_EQ(path.poses.size(), original.poses.size());
  // The turning point stays where it was: stretches are not blended across it.
  EXPECT_EQ(path.poses[cusp], original.poses[cusp]);
  EXPECT_EQ(path.poses.front(), original.poses.front());
  EXPECT_EQ(path.poses.back(), original.poses.back());
  EXPECT_LT(roughness(path), roughness(original));
  // Every step reverses: nothing is long enough to smooth.
  const auto shuttle = zigzag(30, 0.2);
  auto shuttled = shuttle;
  EXPECT_TRUE(smoother_.smooth(shuttled, seconds(1.0)));
  EXPECT_EQ(shuttled, shuttle);
  // The reversing stretch still faces +x while it moves towards -x.
  for (size_t i = cusp + 3; i + 3 < path.poses.size(); ++i) {
    EXPECT_NEAR(yaw(path.poses[i]), facing, 0.2) << i;
    EXPECT_LT(path.poses[i + 1].pose.position.x, path.poses[i].pose.position.x + 1e-9) << i;
  }
  for (size_t i = 3; i + 3 < cusp; ++i) {
    EXPECT_LT(std::abs(yaw(path.poses[i])), 0.5) << i;
  }
}

TEST_F(SavitzkyGolaySmootherTest, FailsWithoutTimeAndLeavesThePath) {
  const auto original = zigzag(30);
  auto path = original;
  EXPECT_FALSE(smoother_.smooth(path, seconds(0.0)));
  EXPECT_EQ(path, original);
  EXPECT_FALSE(smoother_.smooth(path, seconds(-1.0)));
  EXPECT_EQ(path, original);
  // Nothing to smooth needs no time.
  auto short_path = zigzag(5);
  EXPECT_TRUE(smoother_.smooth(short_path, seconds(0.0)));
}

TEST_F(SavitzkyGolaySmootherTest, RefusesNonFinitePositions) {
  auto path = zigzag(30);
  path.poses[12].pose.position.y = std::nan("");
  const auto original = path;
  EXPECT_FALSE(smoother_.smooth(path, seconds(1.0)));
  ASSERT_EQ(path.poses.size(), original.poses.size());
  EXPECT_EQ(path.poses[3].pose.position.y, original.poses[3].pose.position.y);
}

TEST_F(SavitzkyGolaySmootherTest, FailsOnDemand) {
  nav2_smoother::testing::SmootherFaults::failNext(2);
  nav_msgs::msg::Path empty;
  EXPECT_FALSE(smoother_.smooth(empty, seconds(1.0)));
  nav2_smoother::SavitzkyGolaySmoother other;
  EXPECT_FALSE(other.smooth(empty, seconds(1.0)));
  EXPECT_TRUE(smoother_.smooth(empty, seconds(1.0)));
  EXPECT_EQ(nav2_smoother::testing::SmootherFaults::pending(), 0);
}

class SavitzkyGolayConfigureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
  }
};

TEST_F(SavitzkyGolayConfigureTest, DeclaresItsParametersWhenMissing) {
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("sg_defaults");
  nav2_smoother::SavitzkyGolaySmoother smoother;
  smoother.configure(node, "simple_smoother", nullptr, nullptr, nullptr);
  EXPECT_TRUE(node->get_parameter("simple_smoother.do_refinement").as_bool());
  EXPECT_EQ(node->get_parameter("simple_smoother.refinement_num").as_int(), 2);

  // The unconfigured smoother works with the same defaults.
  nav2_smoother::SavitzkyGolaySmoother unconfigured;
  auto a = zigzag(30);
  auto b = zigzag(30);
  ASSERT_TRUE(smoother.smooth(a, seconds(1.0)));
  ASSERT_TRUE(unconfigured.smooth(b, seconds(1.0)));
  EXPECT_EQ(a, b);
}

TEST_F(SavitzkyGolayConfigureTest, EarlierValuesHoldAndChangeTheResult) {
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("sg_preset");
  node->declare_parameter("simple_smoother.do_refinement", rclcpp::ParameterValue(false));
  nav2_smoother::SavitzkyGolaySmoother single_pass;
  single_pass.configure(node, "simple_smoother", nullptr, nullptr, nullptr);
  EXPECT_FALSE(node->get_parameter("simple_smoother.do_refinement").as_bool());

  auto options =
      rclcpp::NodeOptions().parameter_overrides({rclcpp::Parameter("sg.refinement_num", 6)});
  auto other = std::make_shared<rclcpp_lifecycle::LifecycleNode>("sg_override", options);
  nav2_smoother::SavitzkyGolaySmoother many_passes;
  many_passes.configure(other, "sg", nullptr, nullptr, nullptr);
  EXPECT_EQ(other->get_parameter("sg.refinement_num").as_int(), 6);

  nav2_smoother::SavitzkyGolaySmoother defaults;
  auto once = zigzag(30, 0.04);
  auto three = zigzag(30, 0.04);
  auto seven = zigzag(30, 0.04);
  ASSERT_TRUE(single_pass.smooth(once, seconds(1.0)));
  ASSERT_TRUE(defaults.smooth(three, seconds(1.0)));
  ASSERT_TRUE(many_passes.smooth(seven, seconds(1.0)));
  EXPECT_GT(roughness(once), roughness(three));
  EXPECT_GT(roughness(three), roughness(seven));
}

TEST_F(SavitzkyGolayConfigureTest, ExpiredNodeIsAnError) {
  rclcpp_lifecycle::LifecycleNode::WeakPtr gone;
  {
    auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("sg_gone");
    gone = node;
  }
  nav2_smoother::SavitzkyGolaySmoother smoother;
  EXPECT_THROW(smoother.configure(gone, "s", nullptr, nullptr, nullptr), std::runtime_error);
}

}  // namespace
