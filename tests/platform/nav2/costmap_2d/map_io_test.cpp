#include "nav2_map_server/map_io.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>

namespace {

namespace fs = std::filesystem;
using nav2_map_server::LOAD_MAP_STATUS;

// A scratch directory per test, removed afterwards.
class MapFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    dir_ = fs::temp_directory_path() / ("map_io_test_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  std::string writeYaml(const std::string& name, const std::string& text) const {
    std::ofstream(path(name)) << text;
    return path(name);
  }

  // 4 columns x 3 rows: top row black, middle row grey, bottom row white;
  // column 3 of the bottom row is dark grey (occ 0.5).
  void writeImage(const std::string& name) const {
    cv::Mat image(3, 4, CV_8UC1, cv::Scalar(255));
    image.row(0).setTo(0);
    image.row(1).setTo(205);
    image.at<uint8_t>(2, 3) = 127;
    ASSERT_TRUE(cv::imwrite(path(name), image));
  }

  static std::string standardYaml(const std::string& image, const std::string& extra = "") {
    return "image: " + image +
           "\nresolution: 0.05\norigin: [-2.0, 3.5, 0.0]\n"
           "occupied_thresh: 0.65\nfree_thresh: 0.196\nnegate: 0\n" +
           extra;
  }

  fs::path dir_;
};

int8_t cell(const nav_msgs::msg::OccupancyGrid& grid, unsigned int x, unsigned int y) {
  return grid.data[y * grid.info.width + x];
}

TEST_F(MapFiles, TrinaryMapLoadsWithItsGeometryAndTheImageFlipped) {
  writeImage("floor.pgm");
  const auto yaml = writeYaml("floor.yaml", standardYaml("floor.pgm"));
  nav_msgs::msg::OccupancyGrid grid;
  ASSERT_EQ(nav2_map_server::loadMapFromYaml(yaml, grid), nav2_map_server::LOAD_MAP_SUCCESS);

  EXPECT_EQ(grid.info.width, 4u);
  EXPECT_EQ(grid.info.height, 3u);
  EXPECT_FLOAT_EQ(grid.info.resolution, 0.05f);
  EXPECT_DOUBLE_EQ(grid.info.origin.position.x, -2.0);
  EXPECT_DOUBLE_EQ(grid.info.origin.position.y, 3.5);
  EXPECT_DOUBLE_EQ(grid.info.origin.orientation.w, 1.0);
  // The image's top row is the grid's last row.
  for (unsigned int x = 0; x < 4; ++x) {
    EXPECT_EQ(cell(grid, x, 2), 100) << x;
    EXPECT_EQ(cell(grid, x, 1), -1) << x;
  }
  EXPECT_EQ(cell(grid, 0, 0), 0);
  EXPECT_EQ(cell(grid, 3, 0), -1);
}

TEST_F(MapFiles, NegateSwapsFreeAndOccupied) {
  writeImage("floor.png");
  const auto yaml =
      writeYaml("floor.yaml",
                "image: floor.png\nresolution: 0.1\norigin: [0, 0, 0]\noccupied_thresh: 0.65\n"
                "free_thresh: 0.196\nnegate: 1\n");
  nav_msgs::msg::OccupancyGrid grid;
  ASSERT_EQ(nav2_map_server::loadMapFromYaml(yaml, grid), nav2_map_server::LOAD_MAP_SUCCESS);
  EXPECT_EQ(cell(grid, 0, 2), 0);
  EXPECT_EQ(cell(grid, 0, 0), 100);
}

TEST_F(MapFiles, ScaleAndRawModesKeepIntermediateValues) {
  writeImage("floor.pgm");
  nav_msgs::msg::OccupancyGrid grid;
  auto params = nav2_map_server::loadMapYaml(
      writeYaml("scale.yaml", standardYaml("floor.pgm", "mode: scale\n")));
  EXPECT_EQ(params.mode, nav2_map_server::MapMode::Scale);
  nav2_map_server::loadMapFromFile(params, grid);
  // occ = (255 - 127) / 255 = 0.502: (0.502 - 0.196) / (0.65 - 0.196) * 100 = 67.
  EXPECT_EQ(cell(grid, 3, 0), 67);
  EXPECT_EQ(cell(grid, 0, 2), 100);
  EXPECT_EQ(cell(grid, 0, 0), 0);

  params.mode = nav2_map_server::MapMode::Raw;
  nav2_map_server::loadMapFromFile(params, grid);
  // Raw: the pixel is the value; above 100 it is unknown.
  EXPECT_EQ(cell(grid, 0, 2), 0);
  EXPECT_EQ(cell(grid, 0, 0), -1);
  EXPECT_EQ(cell(grid, 0, 1), -1);
}

TEST_F(MapFiles, RelativeImageIsFoundBesideTheYamlFile) {
  fs::create_directories(dir_ / "maps");
  writeImage("maps/floor.pgm");
  const auto yaml = writeYaml("maps/floor.yaml", standardYaml("floor.pgm"));
  const auto params = nav2_map_server::loadMapYaml(yaml);
  EXPECT_EQ(fs::path(params.image_file_name), dir_ / "maps" / "floor.pgm");
  EXPECT_DOUBLE_EQ(params.origin[1], 3.5);
  EXPECT_FALSE(params.negate);
}

TEST_F(MapFiles, MissingYamlFileIsReportedByStatusAndByName) {
  nav_msgs::msg::OccupancyGrid grid;
  grid.info.width = 9;
  EXPECT_EQ(nav2_map_server::loadMapFromYaml(path("nowhere.yaml"), grid),
            nav2_map_server::MAP_DOES_NOT_EXIST);
  EXPECT_EQ(grid.info.width, 9u);
  try {
    nav2_map_server::loadMapYaml(path("nowhere.yaml"));
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("nowhere.yaml"), std::string::npos) << e.what();
  }
}

TEST_F(MapFiles, MissingOrCorruptImageIsInvalidDataNamingTheImage) {
  nav_msgs::msg::OccupancyGrid grid;
  grid.info.width = 9;
  const auto missing = writeYaml("missing.yaml", standardYaml("gone.pgm"));
  EXPECT_EQ(nav2_map_server::loadMapFromYaml(missing, grid), nav2_map_server::INVALID_MAP_DATA);
  EXPECT_EQ(grid.info.width, 9u);

  std::ofstream(path("broken.pgm")) << "this is not an image";
  const auto broken = writeYaml("broken.yaml", standardYaml("broken.pgm"));
  EXPECT_EQ(nav2_map_server::loadMapFromYaml(broken, grid), nav2_map_server::INVALID_MAP_DATA);
  try {
    nav2_map_server::loadMapFromFile(nav2_map_server::loadMapYaml(broken), grid);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("broken.pgm"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("image"), std::string::npos) << e.what();
  }
}

// Whatever a path names, the loader answers at once with what it is: a FIFO is never opened, as
// opening one waits for a writer.
TEST_F(MapFiles, PathsThatAreNotFilesAreNamedForWhatTheyAre) {
  fs::create_directories(path("folder"));
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  const struct {
    std::string target;
    std::string why;
  } cases[] = {{path("folder"), "is a directory, not a file"},
               {path("pipe"), "is a FIFO, not a file"},
               {"/dev/null", "is a device, not a file"},
               {path("nowhere"), "does not exist"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    try {
      nav2_map_server::loadMapYaml(c.target);
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "map file '" + c.target + "' " + c.why);
    }
    const auto yaml = writeYaml("image.yaml", standardYaml(c.target));
    nav_msgs::msg::OccupancyGrid grid;
    try {
      nav2_map_server::loadMapFromFile(nav2_map_server::loadMapYaml(yaml), grid);
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "map image '" + c.target + "' (field 'image') " + c.why);
    }
  }
}

// OpenCV asserts on an image header that promises more pixels than it allows; the loader says
// the image is damaged instead of passing the assertion on.
TEST_F(MapFiles, AHeaderThatLiesAboutTheSizeIsADamagedImage) {
  std::ofstream(path("liar.pgm"), std::ios::binary) << "P5\n100000 100000\n255\n"
                                                    << std::string(64, 'x');
  std::ofstream(path("short.pgm"), std::ios::binary) << "P5\n400 300\n255\n"
                                                     << std::string(64, 'x');
  for (const std::string image : {"liar.pgm", "short.pgm"}) {
    SCOPED_TRACE(image);
    nav_msgs::msg::OccupancyGrid grid;
    try {
      nav2_map_server::loadMapFromFile(
          nav2_map_server::loadMapYaml(writeYaml("liar.yaml", standardYaml(image))), grid);
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "map image '" + path(image) +
                                           "' (field 'image') cannot be decoded: it is damaged "
                                           "or not an image");
    }
  }
}

TEST_F(MapFiles, YamlThatIsNotAMappingIsInvalidMetadata) {
  nav_msgs::msg::OccupancyGrid grid;
  EXPECT_EQ(nav2_map_server::loadMapFromYaml(writeYaml("list.yaml", "- 1\n- 2\n"), grid),
            nav2_map_server::INVALID_MAP_METADATA);
  EXPECT_EQ(nav2_map_server::loadMapFromYaml(writeYaml("bad.yaml", "image: [unclosed\n"), grid),
            nav2_map_server::INVALID_MAP_METADATA);
}

struct BadField {
  std::string field;
  std::string yaml;
};

class BadMapField : public MapFiles, public ::testing::WithParamInterface<BadField> {};

TEST_P(BadMapField, IsRejectedNamingFileAndField) {
  const auto yaml = writeYaml("bad.yaml", GetParam().yaml);
  nav_msgs::msg::OccupancyGrid grid;
  EXPECT_EQ(nav2_map_server::loadMapFromYaml(yaml, grid), nav2_map_server::INVALID_MAP_METADATA);
  try {
    nav2_map_server::loadMapYaml(yaml);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    const std::string text = e.what();
    EXPECT_NE(text.find("bad.yaml"), std::string::npos) << text;
    EXPECT_NE(text.find("'" + GetParam().field + "'"), std::string::npos) << text;
  }
}

const char kRest[] = "occupied_thresh: 0.65\nfree_thresh: 0.196\nnegate: 0\n";

INSTANTIATE_TEST_SUITE_P(
    Fields, BadMapField,
    ::testing::Values(
        BadField{"image", std::string("resolution: 0.05\norigin: [0, 0, 0]\n") + kRest},
        BadField{"image", std::string("image: ''\nresolution: 0.05\norigin: [0, 0, 0]\n") + kRest},
        BadField{"resolution", std::string("image: a.pgm\norigin: [0, 0, 0]\n") + kRest},
        BadField{"resolution",
                 std::string("image: a.pgm\nresolution: -0.05\norigin: [0, 0, 0]\n") + kRest},
        BadField{"resolution",
                 std::string("image: a.pgm\nresolution: fine\norigin: [0, 0, 0]\n") + kRest},
        // The map message carries the resolution in single precision.
        BadField{"resolution",
                 std::string("image: a.pgm\nresolution: 1e-50\norigin: [0, 0, 0]\n") + kRest},
        BadField{"resolution",
                 std::string("image: a.pgm\nresolution: 1e39\norigin: [0, 0, 0]\n") + kRest},
        BadField{"origin", std::string("image: a.pgm\nresolution: 0.05\norigin: [0, 0]\n") + kRest},
        BadField{"origin",
                 std::string("image: a.pgm\nresolution: 0.05\norigin: [0, x, 0]\n") + kRest},
        BadField{"free_thresh",
                 "image: a.pgm\nresolution: 0.05\norigin: [0, 0, 0]\noccupied_thresh: "
                 "0.65\nnegate: 0\n"},
        BadField{"free_thresh",
                 "image: a.pgm\nresolution: 0.05\norigin: [0, 0, 0]\noccupied_thresh: 0.3\n"
                 "free_thresh: 0.6\nnegate: 0\n"},
        BadField{"occupied_thresh",
                 "image: a.pgm\nresolution: 0.05\norigin: [0, 0, 0]\noccupied_thresh: 1.5\n"
                 "free_thresh: 0.2\nnegate: 0\n"},
        BadField{"negate",
                 "image: a.pgm\nresolution: 0.05\norigin: [0, 0, 0]\noccupied_thresh: 0.65\n"
                 "free_thresh: 0.2\nnegate: 2\n"},
        BadField{"mode", std::string("image: a.pgm\nresolution: 0.05\norigin: [0, 0, 0]\n") +
                             kRest + "mode: fuzzy\n"}));

TEST(MapMode, NamesRoundTrip) {
  for (auto mode : {nav2_map_server::MapMode::Trinary, nav2_map_server::MapMode::Scale,
                    nav2_map_server::MapMode::Raw}) {
    EXPECT_EQ(nav2_map_server::map_mode_from_string(nav2_map_server::map_mode_to_string(mode)),
              mode);
  }
  EXPECT_THROW(nav2_map_server::map_mode_from_string("Trinary"), std::invalid_argument);
}

}  // namespace
