// The maps the demo plans on: the bundled office floor, map files, and the position checks.
#include "demo_map.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

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

// The message loading `map_yaml` fails with, and what else reached standard error meanwhile.
struct LoadFailure {
  std::string message;
  std::string standard_error;
};

LoadFailure loadFailureOf(const std::string& map_yaml) {
  LoadFailure failure;
  ::testing::internal::CaptureStderr();
  try {
    loadDemoMap(map_yaml);
    failure.message = "(loaded)";
  } catch (const InputError& error) {
    failure.message = error.what();
  }
  failure.standard_error = ::testing::internal::GetCapturedStderr();
  return failure;
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

  std::string writeYaml(const std::string& name, const std::string& image,
                        const std::string& resolution = "0.1",
                        const std::string& origin = "[-1.0, 5.0, 0.0]") {
    std::ofstream(dir_ / name) << "image: " << image << "\nresolution: " << resolution
                               << "\norigin: " << origin << "\nnegate: 0\n"
                               << "occupied_thresh: 0.65\nfree_thresh: 0.196\n";
    return (dir_ / name).string();
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

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

// A map that loads but that the grid maps refuse is bad input like any other, said in one line.
TEST(GridMaps, AMapTheGridMapsRefuseIsAnInputError) {
  nav_msgs::msg::OccupancyGrid grid =
      occupancyGridOf(cv::Mat(20, 30, CV_8UC1, cv::Scalar(255)), 0.05);
  EXPECT_EQ(makeGridMap("global", grid)->getCostmapROS()->getCostmap()->getSizeInCellsX(), 30U);
  grid.info.origin.orientation.z = std::sin(0.25);
  grid.info.origin.orientation.w = std::cos(0.25);
  try {
    makeGridMap("global", grid);
    FAIL() << "a rotated grid map was built";
  } catch (const InputError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("cannot use the map: ", 0), 0U) << error.what();
    EXPECT_NE(std::string(error.what()).find("rotated"), std::string::npos) << error.what();
  }
  grid = occupancyGridOf(cv::Mat(20, 30, CV_8UC1, cv::Scalar(255)), 0.05);
  grid.data.pop_back();
  EXPECT_THROW(makeGridMap("global", grid), InputError);
}

TEST_F(MapFiles, ARotatedMapIsRefusedWhicheverScenarioLoadsIt) {
  const std::string rotated =
      (writeRoom(), writeYaml("rotated.yaml", "room.png", "0.1", "[0, 0, 0.5]"));
  EXPECT_EQ(loadFailureOf(rotated).message,
            "cannot use the map: " + rotated +
                " is rotated (origin yaw 0.50 rad); the planning nodes take only unrotated maps");
}

// Nothing hangs on a FIFO, and a directory is not told "does not exist".
TEST_F(MapFiles, PathsThatAreNotFilesAreNamedForWhatTheyAre) {
  writeRoom();
  std::filesystem::create_directories(dir_ / "folder");
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  const struct {
    std::string target;
    std::string what;
  } cases[] = {{path("folder"), "is a directory, not a file"},
               {path("pipe"), "is a FIFO, not a file"},
               {"/dev/zero", "is a device, not a file"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    EXPECT_EQ(loadFailureOf(c.target).message,
              "cannot use the map: map file '" + c.target + "' " + c.what);
    EXPECT_EQ(loadFailureOf(writeYaml("image.yaml", c.target)).message,
              "cannot use the map: map image '" + c.target + "' (field 'image') " + c.what);
  }
}

TEST_F(MapFiles, ResolutionsThatSinglePrecisionCannotCarryAreNamed) {
  writeRoom();
  EXPECT_EQ(loadFailureOf(writeYaml("fine.yaml", "room.png", "1e-50")).message,
            "cannot use the map: map file '" + path("fine.yaml") +
                "': field 'resolution' is too small for a map message: single precision makes it "
                "0");
  EXPECT_EQ(loadFailureOf(writeYaml("coarse.yaml", "room.png", "1e39")).message,
            "cannot use the map: map file '" + path("coarse.yaml") +
                "': field 'resolution' is too large for a map message (single precision)");
}

// OpenCV's warnings, its assertion on a header that lies and libpng's own lines stay off the
// screen: the one message says it all.
TEST_F(MapFiles, DamagedImagesAreToldInOneMessageAndNothingElse) {
  std::ofstream(dir_ / "liar.pgm", std::ios::binary) << "P5\n100000 100000\n255\n"
                                                     << std::string(64, 'x');
  std::ofstream(dir_ / "short.pgm", std::ios::binary) << "P5\n400 300\n255\n"
                                                      << std::string(64, 'x');
  std::vector<uchar> png;
  cv::imencode(".png", cv::Mat(200, 300, CV_8UC1, cv::Scalar(254)), png);
  std::ofstream(dir_ / "cut.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()),
             static_cast<std::streamsize>(png.size() / 2));
  std::ofstream(dir_ / "text.png") << "this is not an image";
  for (const std::string image : {"liar.pgm", "short.pgm", "cut.png", "text.png"}) {
    SCOPED_TRACE(image);
    const LoadFailure failure = loadFailureOf(writeYaml("damaged.yaml", image));
    EXPECT_EQ(failure.message, "cannot use the map: map image '" + path(image) +
                                   "' (field 'image') cannot be decoded: it is damaged or not an "
                                   "image");
    EXPECT_EQ(failure.standard_error, "");
  }
}

// OpenCV would warn that it cannot open the file and the loader would call it undecodable.
TEST_F(MapFiles, AnUnreadableImageIsToldSo) {
  writeRoom();
  ASSERT_EQ(::chmod(path("room.png").c_str(), 0), 0);
  std::string image = path("room.png");
  // Whoever reads any file whatever its permissions still cannot read a write-only sysctl.
  if (std::ifstream(image).good()) {
    image = "/proc/sys/vm/compact_memory";
    if (!std::filesystem::is_regular_file(image) || std::ifstream(image).good()) {
      GTEST_SKIP() << "no file here that this user cannot read";
    }
  }
  const LoadFailure failure = loadFailureOf(writeYaml("locked.yaml", image));
  EXPECT_EQ(failure.message, "cannot use the map: map image '" + image +
                                 "' (field 'image') cannot be read: Permission denied");
  EXPECT_EQ(failure.standard_error, "");
}

TEST(Positions, AreWrittenWholeHoweverFarOut) {
  EXPECT_EQ(formatPosition(-1.0, 12.345), "(-1.00, 12.35)");
  EXPECT_EQ(formatPosition(1e300, -2.5e12), "(1e+300, -2.5e+12)");
  nav_msgs::msg::OccupancyGrid grid =
      occupancyGridOf(cv::Mat(20, 30, CV_8UC1, cv::Scalar(255)), 0.05);
  grid.info.origin.position.x = 1e300;
  grid.info.origin.position.y = 1e300;
  EXPECT_EQ(inputErrorOf(grid, {1.0, 1.0, 0.0}),
            "goal 3 (1.00, 1.00) lies off the map, which spans (1e+300, 1e+300) to (1e+300, "
            "1e+300)");
}

}  // namespace
}  // namespace demo
