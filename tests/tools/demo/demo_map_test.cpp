// The maps the demo plans on: the bundled office floor, map files, and the position checks.
#include "demo_map.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

#include "scenarios.hpp"

namespace demo {
namespace {

std::string inputErrorOf(const nav_msgs::msg::OccupancyGrid& grid, const Pose2& pose) {
  try {
    checkPosition(grid, pose, "goal 3");
  } catch (const InputError& error) {
    return error.what();
  }
  return "";
}

// A map file pair in a fresh directory: a 4 m x 2 m room at 0.1 m, origin (-1, 5).
class MapFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("demo_map_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string writeRoom() {
    // Map images have their top row at the largest y.
    cv::Mat image(20, 40, CV_8UC1, cv::Scalar(254));
    cv::rectangle(image, cv::Point(0, 0), cv::Point(39, 19), cv::Scalar(0), 1);
    cv::rectangle(image, cv::Point(30, 1), cv::Point(38, 5), cv::Scalar(0), cv::FILLED);
    cv::imwrite((dir_ / "room.png").string(), image);
    std::ofstream yaml(dir_ / "room.yaml");
    yaml << "image: room.png\nresolution: 0.1\norigin: [-1.0, 5.0, 0.0]\nnegate: 0\n"
         << "occupied_thresh: 0.65\nfree_thresh: 0.196\n";
    return (dir_ / "room.yaml").string();
  }

  std::filesystem::path dir_;
};

TEST(BundledFloor, IsAThirtyByTwentyMetreFloorWithEveryPlaceFree) {
  const DemoMap map = loadDemoMap("");
  EXPECT_EQ(map.grid.info.width, 600U);
  EXPECT_EQ(map.grid.info.height, 400U);
  EXPECT_FLOAT_EQ(map.grid.info.resolution, 0.05F);
  EXPECT_EQ(map.grid.header.frame_id, "map");
  ASSERT_GE(map.places.size(), 7U);
  for (const auto& place : map.places) {
    EXPECT_EQ(inputErrorOf(map.grid, {place.x, place.y, 0.0}), "") << place.name;
  }
  // Outside the building nothing is mapped; the shell is a wall.
  EXPECT_NE(inputErrorOf(map.grid, {0.2, 0.2, 0.0}).find("unmapped"), std::string::npos);
  EXPECT_NE(inputErrorOf(map.grid, {0.55, 5.0, 0.0}).find("inside a wall"), std::string::npos);
}

TEST(BundledFloor, PlacesAreLookedUpByName) {
  const DemoMap map = loadDemoMap("");
  const Pose2 reception = placeOnMap(map, "reception");
  EXPECT_DOUBLE_EQ(reception.x, 3.0);
  EXPECT_DOUBLE_EQ(reception.y, 6.0);
  EXPECT_THROW(placeOnMap(map, "roof"), InputError);
}

TEST_F(MapFiles, MapFileIsReadWithItsOriginAndResolution) {
  const DemoMap map = loadDemoMap(writeRoom());
  EXPECT_EQ(map.grid.info.width, 40U);
  EXPECT_EQ(map.grid.info.height, 20U);
  EXPECT_TRUE(map.places.empty());
  EXPECT_EQ(inputErrorOf(map.grid, {0.0, 6.0, 0.0}), "");
  // The cabinet drawn at the image's top right lies at the map's north-east.
  EXPECT_NE(inputErrorOf(map.grid, {2.5, 6.6, 0.0}).find("inside a wall"), std::string::npos);
  EXPECT_EQ(inputErrorOf(map.grid, {2.5, 5.4, 0.0}), "");
  EXPECT_EQ(inputErrorOf(map.grid, {-1.5, 6.0, 0.0}),
            "goal 3 (-1.50, 6.00) lies off the map, which spans (-1.00, 5.00) to (3.00, 7.00)");
  EXPECT_NE(inputErrorOf(map.grid, {0.0, 7.05, 0.0}).find("off the map"), std::string::npos);
}

TEST_F(MapFiles, MissingOrBrokenMapFilesAreNamed) {
  try {
    loadDemoMap((dir_ / "nowhere.yaml").string());
    FAIL() << "a missing map was accepted";
  } catch (const InputError& error) {
    EXPECT_NE(std::string(error.what()).find("nowhere.yaml"), std::string::npos) << error.what();
  }

  std::ofstream(dir_ / "broken.yaml") << "image: room.png\nresolution: -3\n";
  EXPECT_THROW(loadDemoMap((dir_ / "broken.yaml").string()), InputError);

  std::ofstream(dir_ / "lost_image.yaml")
      << "image: gone.png\nresolution: 0.1\norigin: [0, 0, 0]\nnegate: 0\n"
      << "occupied_thresh: 0.65\nfree_thresh: 0.196\n";
  try {
    loadDemoMap((dir_ / "lost_image.yaml").string());
    FAIL() << "a map without its image was accepted";
  } catch (const InputError& error) {
    EXPECT_NE(std::string(error.what()).find("gone.png"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace demo
