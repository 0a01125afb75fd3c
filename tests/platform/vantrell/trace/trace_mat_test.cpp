#include "vantrell_trace/trace_mat.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <opencv2/core.hpp>
#include <stdexcept>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace {

namespace gm = vantrell_nav2_gridmap::testing;
using nav_msgs::msg::OccupancyGrid;

class TraceMatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // 40 cells wide, 30 high, 5 cm, its origin at (1, 2).
    map_ = gm::makeGridMap("trace_map", cv::Mat(30, 40, CV_8UC1, cv::Scalar(gm::kDrawnFree)), 0.05,
                           1.0, 2.0);
  }

  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> map_;
};

TEST_F(TraceMatTest, DrawsOverTheCellsOfItsGridMap) {
  vantrell_trace::TraceMat trace(map_, "trace_drawing");
  ASSERT_EQ(trace.getMat().rows, 30);
  ASSERT_EQ(trace.getMat().cols, 40);
  EXPECT_EQ(cv::countNonZero(trace.getMat()), 0);

  // A smaller picture lands on the first cells; a larger one is clipped.
  cv::Mat window(10, 20, CV_8UC1, cv::Scalar(0));
  window.at<uint8_t>(3, 7) = 255;
  window.at<uint8_t>(4, 7) = 51;
  trace.setMat(window, true);
  EXPECT_EQ(trace.getMatColor(cv::Point(7, 3)), 100);
  EXPECT_EQ(trace.getMatColor(cv::Point(7, 4)), 20);
  trace.setMat(window, false);
  EXPECT_EQ(trace.getMatColor(cv::Point(7, 3)), 255);
  trace.setMat(cv::Mat(50, 50, CV_8UC1, cv::Scalar(9)), false);
  EXPECT_EQ(trace.getMatColor(cv::Point(39, 29)), 9);
  trace.setMat(cv::Mat(5, 5, CV_32FC1, cv::Scalar(1.0f)), false);
  EXPECT_EQ(trace.getMatColor(cv::Point(0, 0)), 9);

  trace.setMatPointColor(cv::Point(39, 0), 98);
  EXPECT_EQ(trace.getMatColor(cv::Point(39, 0)), 98);
  // Off the picture nothing is drawn and nothing is there.
  trace.setMatPointColor(cv::Point(40, 0), 98);
  trace.setMatPointColor(cv::Point(-1, 5), 98);
  EXPECT_EQ(trace.getMatColor(cv::Point(40, 0)), 0);
  EXPECT_EQ(trace.getMatColor(cv::Point(3, -2)), 0);

  trace.reset();
  EXPECT_EQ(cv::countNonZero(trace.getMat()), 0);
}

TEST_F(TraceMatTest, PublishesThePictureAsAGridOnItsTopic) {
  auto listener = std::make_shared<rclcpp::Node>("trace_listener");
  std::vector<OccupancyGrid> received;
  auto subscription = listener->create_subscription<OccupancyGrid>(
      "dilate_flag", 10, [&received](const OccupancyGrid& grid) { received.push_back(grid); });

  vantrell_trace::TraceMat trace(map_, "dilate_flag");
  trace.setMatPointColor(cv::Point(5, 2), 127);
  trace.setMatPointColor(cv::Point(6, 2), 200);
  trace.publishCVMatAsGrid();
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(listener);
  executor.spin_some();

  ASSERT_EQ(received.size(), 1u);
  const OccupancyGrid& grid = received.front();
  EXPECT_EQ(grid.header.frame_id, "map");
  EXPECT_EQ(grid.info.width, 40u);
  EXPECT_EQ(grid.info.height, 30u);
  EXPECT_FLOAT_EQ(grid.info.resolution, 0.05f);
  EXPECT_DOUBLE_EQ(grid.info.origin.position.x, 1.0);
  EXPECT_DOUBLE_EQ(grid.info.origin.position.y, 2.0);
  ASSERT_EQ(grid.data.size(), 1200u);
  EXPECT_EQ(grid.data[2 * 40 + 5], 127);
  EXPECT_EQ(grid.data[2 * 40 + 6], static_cast<int8_t>(200));
  EXPECT_EQ(grid.data[0], 0);
}

TEST_F(TraceMatTest, NeedsAGridMap) {
  EXPECT_THROW(vantrell_trace::TraceMat(nullptr, "nowhere"), std::invalid_argument);
}

}  // namespace
