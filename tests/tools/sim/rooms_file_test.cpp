// Rooms files as the shared floors come with them, and the faults a hand-made one may have.
#include "planning_sim/rooms_file.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace sim_test {
namespace {

namespace fs = std::filesystem;

class RoomsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = fs::temp_directory_path() / ("rooms_" + std::to_string(::getpid()) + ".yaml");
  }
  void TearDown() override { fs::remove(file_); }

  std::string write(const std::string& text) {
    std::ofstream(file_) << text;
    return file_.string();
  }

  fs::path file_;
};

TEST_F(RoomsFileTest, ReadsIdsAreasAndCornersInOrder) {
  const auto rooms = planning_sim::loadRooms(
      write("map: floor.yaml\nrooms:\n"
            "- id: 0\n  area_m2: 19.81\n  polygon:\n  - [4.425, 16.325]\n  - [4.475, 11.725]\n"
            "  - [8.675, 11.725]\n"
            "- id: hall\n  area_m2: 2\n  polygon: [[0, 0], [1, 0], [1, 1], [0, 1]]\n"));
  ASSERT_EQ(rooms.size(), 2U);
  EXPECT_EQ(rooms[0].id, "0");
  EXPECT_DOUBLE_EQ(rooms[0].area_m2, 19.81);
  ASSERT_EQ(rooms[0].polygon.points.size(), 3U);
  EXPECT_FLOAT_EQ(rooms[0].polygon.points[1].x, 4.475F);
  EXPECT_FLOAT_EQ(rooms[0].polygon.points[1].y, 11.725F);
  EXPECT_EQ(rooms[1].id, "hall");
  EXPECT_EQ(rooms[1].polygon.points.size(), 4U);
}

std::string repeated(const std::string& text, int times) {
  std::string made;
  for (int i = 0; i < times; ++i) {
    made += text;
  }
  return made;
}

// A rooms file made for one map is refused on another, and on a floor that has no map file.
TEST_F(RoomsFileTest, MapKeyMustNameTheMapInUse) {
  const std::string rooms = "rooms:\n- id: a\n  area_m2: 1\n  polygon: [[0, 0], [1, 0], [1, 1]]\n";
  const std::string made_for_floor = write("map: floor.yaml\n" + rooms);
  EXPECT_EQ(planning_sim::loadRooms(made_for_floor, "/maps/floor.yaml").size(), 1U);
  for (const std::string map : {"/maps/hall.yaml", ""}) {
    SCOPED_TRACE(map);
    try {
      planning_sim::loadRooms(made_for_floor, map);
      ADD_FAILURE() << "read";
    } catch (const planning_sim::RoomsFileError& error) {
      EXPECT_NE(std::string(error.what())
                    .find("it is made for the map \"floor.yaml\", not for " +
                          (map.empty() ? "the floor in use" : map)),
                std::string::npos)
          << error.what();
    }
  }
  // A hand-made file that names no map goes with any.
  EXPECT_EQ(planning_sim::loadRooms(write(rooms), "").size(), 1U);
}

TEST_F(RoomsFileTest, RefusesWhatCannotBeAZoneNamingTheFault) {
  const std::string corners = "  polygon: [[0, 0], [1, 0], [1, 1]]\n";
  struct Case {
    std::string text;
    const char* fault;
  } cases[] = {
      {"rooms: [\n", "is not YAML"},
      {"floors: []\n", "has no \"rooms\" list"},
      {"rooms:\n- area_m2: 1\n" + corners, "has no \"id\""},
      {"rooms:\n- id: a\n" + corners, "has no \"area_m2\""},
      {"rooms:\n- id: a\n  area_m2: many\n" + corners, "is not a number"},
      {"rooms:\n- id: a\n  area_m2: -5\n" + corners, "room \"a\" area_m2 -5 is negative"},
      {"rooms:\n- id: a\n  area_m2: 1\n  polygon: [[0, 0], [1, 0]]\n", "at least three"},
      {"rooms:\n- id: a\n  area_m2: 1\n  polygon: [[0, 0], [1], [1, 1]]\n", "is not [x, y]"},
      {"rooms:\n- id: a\n  area_m2: 1\n  polygon: [[0, 0], [1e300, 0], [1, 1]]\n", "too far out"},
      {"rooms:\n- id: a\n  area_m2: 1\n  polygon: [[0, 0], [.nan, 0], [1, 1]]\n", "not a number"},
      {"rooms:\n- id: a\n  area_m2: 1\n" + corners + "- id: a\n  area_m2: 1\n" + corners,
       "names room \"a\" twice"},
      {"rooms:\n- id: a\n  area_m2: 1\n  polygon: [" + repeated("[0, 0], ", 10000) + "[1, 1]]\n",
       "room \"a\" has 10001 corners, more than the 10000 a zone may have"},
      {"rooms:\n" + repeated("- id: a\n  area_m2: 1\n" + corners, 1001),
       "it lists 1001 rooms, more than the 1000 a rooms file may"},
      {"# " + std::string(1024 * 1024, 'x') + "\nrooms: []\n",
       "it holds 1048589 bytes, more than the 1048576 a rooms file may"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      planning_sim::loadRooms(write(c.text));
      ADD_FAILURE() << "read";
    } catch (const planning_sim::RoomsFileError& error) {
      const std::string what = error.what();
      EXPECT_NE(what.find(file_.string()), std::string::npos) << what;
      EXPECT_NE(what.find(c.fault), std::string::npos) << what;
    }
  }
  EXPECT_THROW(planning_sim::loadRooms("/nonexistent/floor.rooms.yaml"),
               planning_sim::RoomsFileError);
}

}  // namespace
}  // namespace sim_test
