#include "planning/local_planning/contour/image_processing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "contour_fixtures.hpp"
#include "vantrell_nav2_gridmap/testing/grid_map_factory.hpp"

namespace contour_test {
namespace {

using planning::ImageProcessing;

TEST(ImageProcessing, ExtractsAcceptedOuterRegionsWithReversedOutlinesInRegionOrder) {
  // A ring whose hole holds an island, and a square on the right.
  const cv::Mat image = ~vantrell_nav2_gridmap::testing::drawingFromRows(
      {"............", ".#######....", ".#.....#.##.", ".#.##..#.##.", ".#.##..#....",
       ".#.....#....", ".#######....", "............"});
  std::vector<std::vector<cv::Point>> offered;
  ImageProcessing processing;
  EXPECT_THROW(processing.getAllValidContourAddSort(planning::ZONE, image, 0, 0, 0),
               std::bad_function_call);
  double reject_below = 0.0;
  processing.setCallBack([&](std::vector<cv::Point>& contour, double area, planning::ContourType) {
    offered.push_back(contour);
    return area < reject_below;
  });
  // The robot stands in the ring's hole, inside its outer outline.
  const auto infos = processing.getAllValidContourAddSort(planning::INNER, image, 3, 5, 4);
  ASSERT_EQ(offered.size(), 2U);  // the island is not offered
  ASSERT_EQ(infos.size(), 2U);
  EXPECT_DOUBLE_EQ(infos[0].area, 30.0);
  EXPECT_DOUBLE_EQ(infos[0].robot_distance, 2.0);
  EXPECT_DOUBLE_EQ(infos[1].area, 1.0);
  EXPECT_NEAR(infos[1].robot_distance, -std::sqrt(17.0), 1e-6);
  EXPECT_NE(infos[0].uuid, infos[1].uuid);
  for (const auto& info : infos) {
    EXPECT_EQ(info.state, ContourInfo::kActive);
    EXPECT_EQ(info.zone_index, 3);
    EXPECT_EQ(info.type, planning::INNER);
    EXPECT_EQ(info.plan_fail_count, 0);
    EXPECT_FALSE(info.uuid.empty());
    const std::vector<cv::Point> as_found(info.points.rbegin(), info.points.rend());
    EXPECT_NE(std::find(offered.begin(), offered.end(), as_found), offered.end());
  }

  reject_below = 5.0;
  const auto kept = processing.getAllValidContourAddSort(planning::ZONE, image, 0, 0, 0);
  ASSERT_EQ(kept.size(), 1U);
  EXPECT_DOUBLE_EQ(kept[0].area, 30.0);
  for (const cv::Mat& nothing : {cv::Mat(), cv::Mat(cv::Mat::zeros(4, 4, CV_8UC1)),
                                 cv::Mat(cv::Mat::ones(4, 4, CV_32FC1))}) {
    EXPECT_TRUE(processing.getAllValidContourAddSort(planning::ZONE, nothing, 0, 0, 0).empty());
  }
}

TEST(ContourOrder, PutsTheKeyThenRegionsHoldingTheRobotThenTheNearest) {
  // B, A and F hold the robot (F on its outline); E, D and C do not.
  const std::vector<ContourInfo> mixed = {record("C", -3.0, 5.0),   record("A", 2.0, 10.0),
                                          record("E", -1.0, 100.0), record("F", 0.0, 1.0),
                                          record("D", -3.0, 2.0),   record("B", 1.0, 50.0)};
  const std::vector<std::tuple<std::string, Rows>> cases = {{"", {"B", "A", "F", "E", "D", "C"}},
                                                            {"C", {"C", "B", "A", "F", "E", "D"}}};
  for (const auto& [key, expected] : cases) {
    for (size_t rotation = 0; rotation < mixed.size(); ++rotation) {
      auto records = mixed;
      std::rotate(records.begin(), records.begin() + rotation, records.end());
      planning::sortContourInfos(records.begin(), records.end(), key);
      EXPECT_EQ(uuidsOf(records), expected) << "key '" << key << "', rotation " << rotation;
    }
  }
  const auto first = [](const ContourInfo& a, const ContourInfo& b, const std::string& key) {
    return planning::contourComesFirst(a, b, key);
  };
  // An empty key matches an empty uuid; two records with the key go on by the rules.
  EXPECT_TRUE(first(record("", -20.0, 1.0), record("near", 4.0, 9.0), ""));
  EXPECT_TRUE(first(record("k", 2.0, 1.0), record("k", -5.0, 1.0), "k"));
  EXPECT_FALSE(first(record("k", -5.0, 1.0), record("k", 2.0, 1.0), "k"));
  // Ties either way round.
  EXPECT_FALSE(first(record("a", 1.0, 5.0), record("b", 2.0, 5.0), ""));
  EXPECT_FALSE(first(record("b", 2.0, 5.0), record("a", 1.0, 5.0), ""));
}

TEST(ImageProcessing, MasksTheSourceByTheFilledPolygon) {
  cv::Mat src(5, 6, CV_8UC1);
  for (int i = 0; i < src.rows * src.cols; ++i) {
    src.data[i] = static_cast<uint8_t>(i + 1);
  }
  ImageProcessing processing;
  cv::Mat out(2, 2, CV_8UC1, cv::Scalar(7));
  processing.getMaskMat(src, {{0, 0}, {4, 0}, {0, 4}}, out);
  ASSERT_EQ(out.size(), src.size());
  for (int y = 0; y < src.rows; ++y) {
    for (int x = 0; x < src.cols; ++x) {
      EXPECT_EQ(out.at<uint8_t>(y, x), x + y <= 4 ? src.at<uint8_t>(y, x) : 0) << x << ", " << y;
    }
  }
  cv::Mat untouched(3, 3, CV_8UC1, cv::Scalar(7));
  processing.getMaskMat(src, {}, untouched);
  EXPECT_EQ(cv::countNonZero(untouched != 7), 0);
  // Another size, masked in place.
  cv::Mat wide(3, 9, CV_8UC1, cv::Scalar(255));
  processing.getMaskMat(wide, box(6, 0, 8, 2), wide);
  EXPECT_EQ(pictureOf(wide), "......###/......###/......###");
}

}  // namespace
}  // namespace contour_test
