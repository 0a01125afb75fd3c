#include "planning/local_planning/contour/costmap_image_convert.hpp"

#include <gtest/gtest.h>
#include <spdlog/sinks/base_sink.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "contour_fixtures.hpp"
#include "logger/logger.hpp"
#include "vantrell_nav2_gridmap/testing/local_node_maps.hpp"

namespace contour_test {
namespace {

namespace gm = vantrell_nav2_gridmap::testing;
using planning::CostmapImageConvert;

struct ImageParams {
  int64_t clean_cost{253};
  int64_t inflation_cost{235};
  double safe_distance_offset{0.0};
  double planning_morph_open_element_size{0.05};  // one cell: no opening
  std::optional<double> static_coverage_safe_offset;
};

// 20 x 16 cells of 0.1 m, walled, one obstacle cell at (9, 7): the first (zone) map, and a
// window of it as the second (local) map.
struct Maps {
  std::shared_ptr<vantrell_nav2_gridmap::GridMapROS> first, second;
  std::unique_ptr<vantrell_nav2_gridmap::GridmapLocationCoverter> converter;
  std::unique_ptr<CostmapImageConvert> convert;

  explicit Maps(const cv::Rect& window, const ImageParams& p = {}, Rows rows = {}) {
    if (rows.empty()) {
      rows = walledRows(20, 16);
      rows[7][9] = '#';
    }
    const auto floor =
        gm::occupancyGridFromDrawing(gm::drawingFromRows(rows), kCell, kOrigin, kOrigin);
    first = gm::makeGridMap("first_map", floor, test_support::pointRobot());
    second = gm::makeGridMap("second_map", gm::cropOccupancyGrid(floor, window),
                             test_support::pointRobot());
    converter = std::make_unique<vantrell_nav2_gridmap::GridmapLocationCoverter>(second, first);
    converter->updateOrigin();
    auto node = makeNode("costmap_image_test");
    node->declare_parameter("clean_cost", p.clean_cost);
    node->declare_parameter("inflation_cost", p.inflation_cost);
    node->declare_parameter("safe_distance", 0.22);
    node->declare_parameter("planning_safe_distance", 0.05);
    node->declare_parameter("safe_distance_offset", p.safe_distance_offset);
    node->declare_parameter("morph_open_element_size", 0.05);
    node->declare_parameter("planning_morph_open_element_size", p.planning_morph_open_element_size);
    node->declare_parameter("morph_open_iterations", 1);
    if (p.static_coverage_safe_offset) {
      node->declare_parameter("static_coverage_safe_offset", *p.static_coverage_safe_offset);
    }
    convert = std::make_unique<CostmapImageConvert>(first, second, node);
  }

  void setCost(unsigned int x, unsigned int y, uint8_t cost) {
    auto* costmap = first->getMultiGridMap()->getCostmap();
    std::lock_guard<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
    costmap->setCost(x, y, cost);
  }

  // clean, inflation, local window, obstacle-free; the zone is the rectangle unless given.
  std::vector<cv::Mat> zone(const cv::Rect& rect,
                            std::optional<planning::CleanZoneInfo> zone = {}) {
    zone = zone.value_or(planning::CleanZoneInfo{box(0, 0, rect.width - 1, rect.height - 1), rect});
    std::vector<cv::Mat> out(4);
    convert->updateCoverageCostmapMat(*zone, rect, out[0], out[1], out[2], out[3], *converter);
    return out;
  }

  // clean, clean with the local map, opened, local window, obstacle-free.
  std::vector<cv::Mat> statics(const cv::Rect& rect) {
    std::vector<cv::Mat> out(5);
    convert->updateStaticCoverageCostmapMat(rect, out[0], out[1], out[2], out[3], out[4],
                                            *converter);
    return out;
  }
};

const cv::Rect kZone(4, 4, 10, 8);
const cv::Rect kApart(15, 0, 5, 16);  // a local window away from the zone

// A cost a byte cannot hold would wrap into another cost; configure fails naming it instead.
TEST(CostmapImages, RefuseCostsOutsideAByte) {
  for (const auto& [clean, inflation, name] :
       std::vector<std::tuple<int64_t, int64_t, std::string>>{{256, 235, "clean_cost"},
                                                              {253, -1, "inflation_cost"}}) {
    SCOPED_TRACE(name);
    ImageParams params;
    params.clean_cost = clean;
    params.inflation_cost = inflation;
    EXPECT_THROW(Maps(kZone, params), rclcpp::exceptions::InvalidParameterValueException);
  }
}

TEST(ZoneImages, FollowCostsClearanceTheLocalMapAndTheZoneBorder) {
  Maps maps(kApart);
  maps.setCost(6, 9, 240);  // pixel (2, 5): cleanable but inflated
  const auto images = maps.zone(kZone);
  // Outline and ring within 0.22 - 0.1 m of it blocked, and all within 0.22 m of the obstacle
  // at pixel (5, 3).
  EXPECT_EQ(
      pictureOf(images[0]),
      "........../........../..##...#../..#......./..##...#../..###.##../........../..........");
  EXPECT_EQ(
      pictureOf(images[1]),
      "........../........../..##...#../..#......./..##...#../...##.##../........../..........");
  EXPECT_EQ(
      pictureOf(images[3]),
      "........../.########./.########./.####.###./.########./.########./.########./..........");

  // Where the local map lies (columns 0 to 7) its raw cost decides, blocked only within the
  // 0.12 m offset of a local obstacle.
  Maps overlaid(cv::Rect(2, 2, 10, 10), {253, 235, 0.12, 0.05, std::nullopt});
  for (const int i : {0, 1}) {
    EXPECT_EQ(
        pictureOf(overlaid.zone(kZone)[i]),
        "........../........../..###.##../..##...#../..###.##../..######../........../..........");
  }

  // A cost of 255 counts as the clean cost, here below the inflation cost.
  Maps unknown(kApart, {200, 250, 0.0, 0.05, std::nullopt});
  unknown.setCost(6, 6, 255);
  unknown.setCost(7, 6, 254);
  const auto counted = unknown.zone(kZone);
  EXPECT_EQ(counted[0].at<uint8_t>(2, 2), 0);
  EXPECT_EQ(counted[1].at<uint8_t>(2, 2), 255);
  EXPECT_EQ(counted[1].at<uint8_t>(2, 3), 0);
}

TEST(ZoneImages, BlockEveryPixelOffTheMapOrOutsideTheZone) {
  // Past the far corner and before the origin, each with a pixel that stays free.
  for (const auto& [rect, inside] : std::vector<std::pair<cv::Rect, cv::Point>>{
           {{14, 10, 10, 8}, {2, 2}}, {{-3, -2, 10, 9}, {6, 5}}}) {
    Maps maps(kApart);
    auto images = maps.zone(rect);
    const auto statics = maps.statics(rect);
    images[2] = statics[2];
    images.insert(images.end(), {statics[0], statics[1], statics[4]});
    for (const cv::Mat& image : images) {
      ASSERT_EQ(image.size(), rect.size());
      cv::Mat off_map = image.clone();
      off_map((cv::Rect(0, 0, 20, 16) - rect.tl()) & cv::Rect(cv::Point(), rect.size())).setTo(0);
      EXPECT_EQ(cv::countNonZero(off_map), 0) << rect;
      EXPECT_EQ(image.at<uint8_t>(inside), 255) << rect;
    }
  }
  const auto outside = Maps(kApart).zone(kZone, planning::CleanZoneInfo{});
  EXPECT_EQ(
      cv::countNonZero(outside[0]) + cv::countNonZero(outside[1]) + cv::countNonZero(outside[3]),
      0);  // a zone without points
}

TEST(StaticImages, ClearTheHalfWidthAndItsOffset) {
  const std::string obstacle =
      "##########/##########/##########/#####.####/##########/##########/##########/##########";
  // Half width 0.01 m + 0.21 m; without the parameter, + 0.07 m clears only the obstacle.
  const std::string disc =
      "##########/#####.####/####...###/###.....##/####...###/#####.####/##########/##########";
  for (const auto& [offset, clean] : std::vector<std::pair<std::optional<double>, std::string>>{
           {0.21, disc}, {std::nullopt, obstacle}}) {
    ImageParams params;
    params.static_coverage_safe_offset = offset;
    const auto images = Maps(kApart, params).statics(kZone);
    for (const int i : {0, 1, 2}) {
      EXPECT_EQ(pictureOf(images[i]), clean) << "image " << i;
    }
    EXPECT_EQ(pictureOf(images[4]), obstacle);
  }
}

TEST(CostmapImages, BuildTheLocalWindowAndTheCostImages) {
  // Corridors of two (columns 4, 5) and three cells (7 to 9) in a 12 x 10 local map.
  Rows rows = walledRows(12, 10);
  for (int y = 1; y < 9; ++y) {
    rows[y][3] = rows[y][6] = rows[y][10] = '#';
  }
  const int border = CostmapImageConvert::kLocalWindowBorder;
  for (const double element : {0.05, 0.3}) {
    const cv::Mat window =
        Maps(cv::Rect(0, 0, 12, 10), {253, 235, 0.0, element, std::nullopt}, rows)
            .zone(cv::Rect(0, 0, 4, 4))[2];
    ASSERT_EQ(window.size(), cv::Size(12 + 2 * border, 10 + 2 * border));
    cv::Mat frame = window.clone();
    frame(cv::Rect(border, border, 12, 10)).setTo(255);
    EXPECT_EQ(cv::countNonZero(frame), frame.rows * frame.cols);
    EXPECT_EQ(window.at<uint8_t>(border + 4, border + 3), 0);
    EXPECT_EQ(window.at<uint8_t>(border + 4, border + 8), 255);
    // A 3 x 3 opening closes the narrow corridor.
    EXPECT_EQ(window.at<uint8_t>(border + 4, border + 4), element > 0.1 ? 0 : 255);
  }

  Maps maps(kApart);
  maps.setCost(3, 3, 252);
  maps.setCost(4, 3, 253);
  maps.setCost(5, 3, 255);
  cv::Mat image;
  maps.convert->costmapToMat(*maps.first, image, 253);
  EXPECT_EQ(image.at<uint8_t>(3, 3), 255);
  EXPECT_EQ(cv::countNonZero(image), 18 * 14 - 1 - 2);  // walls, obstacle, 253 and 255 blocked

  // A local map whose cell (a, b) lies on cell (a - 2, b + 5) of the first map; a wall at (5, 3).
  maps.setCost(2, 6, 255);
  Rows local_rows(4, "......");
  local_rows[3][5] = '#';
  auto local = gm::makeGridMap("shifted_local", gm::drawingFromRows(local_rows), kCell,
                               kOrigin - 0.2, kOrigin + 0.5, test_support::pointRobot());
  vantrell_nav2_gridmap::GridmapLocationCoverter converter(local, maps.first);
  converter.updateOrigin();
  CostmapImageConvert(maps.first, local, makeNode("local_coverage_test"))
      .getLocalCostmapMatWithCoverage(image, converter);
  // Off the first map, on its wall or in danger locally: 254; else the first map's raw cost.
  const auto* costmap = maps.first->getMultiGridMap()->getCostmap();
  for (int b = 0; b < 4; ++b) {
    for (int a = 0; a < 6; ++a) {
      const int expected = a < 3 || (a == 5 && b == 3) ? 254 : costmap->getCost(a - 2, b + 5);
      EXPECT_EQ(image.at<uint8_t>(b, a), expected) << a << ", " << b;
    }
  }
  EXPECT_EQ(image.at<uint8_t>(1, 4), 255);
}

// At each "cell size is" record, asks from another thread whether the costmap mutex is free.
class LockProbeSink : public spdlog::sinks::base_sink<std::mutex> {
 public:
  nav2_costmap_2d::Costmap2D::mutex_t* watched{nullptr};
  std::vector<bool> held;

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    if (watched == nullptr ||
        std::string(msg.payload.data(), msg.payload.size()).find("cell size is") ==
            std::string::npos) {
      return;
    }
    bool taken = false;
    std::thread([this, &taken] {
      taken = watched->try_lock();
      if (taken) {
        watched->unlock();
      }
    }).join();
    held.push_back(!taken);
  }
  void flush_() override {}
};

TEST(CostmapImages, HoldTheCostmapMutexWhileTheyReadIt) {
  auto probe = std::make_shared<LockProbeSink>();
  auto& sinks = vantrell::Logger::Instance("spdlog").logger_->sinks();
  sinks.push_back(probe);
  Maps maps(cv::Rect(2, 2, 10, 10));
  probe->watched = maps.first->getMultiGridMap()->getCostmap()->getMutex();
  maps.zone(kZone);
  maps.statics(kZone);
  cv::Mat image;
  maps.convert->costmapToMat(*maps.first, image, 253);
  sinks.pop_back();
  // The two updates trace under the mutex; costmapToMat logs its size before it takes it.
  EXPECT_EQ(probe->held, std::vector<bool>({true, true, false}));
}

}  // namespace
}  // namespace contour_test
