// The demo program as a user runs it: exit status and messages.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

namespace {

struct DemoRun {
  int status{-1};
  std::string output;
};

// Runs the demo with `arguments`, standard error joined to standard output.
DemoRun runDemo(const std::string& arguments) {
  DemoRun run;
  const std::string command = std::string(PLANNING_DEMO_PROGRAM) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return run;
  }
  std::array<char, 512> buffer{};
  while (fgets(buffer.data(), static_cast<int>(buffer.size()), pipe) != nullptr) {
    run.output += buffer.data();
  }
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

TEST(DemoProgram, HelpIsPrintedAndSucceeds) {
  const DemoRun run = runDemo("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("Usage: planning_demo"), std::string::npos) << run.output;
}

TEST(DemoProgram, BadInputGivesAClearMessageAndStatusTwo) {
  DemoRun run = runDemo("--goal 6.05,14.0 --output /tmp/planning_demo_never.png");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("goal 1 (6.05, 14.00) lies inside a wall"), std::string::npos)
      << run.output;

  run = runDemo("--map /nonexistent/floor.yaml --start 1,1 --goal 2,2");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("/nonexistent/floor.yaml"), std::string::npos) << run.output;

  run = runDemo("--goal 1,2,3,4");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("--help"), std::string::npos) << run.output;

  run = runDemo("--goal 95,3");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("off the map"), std::string::npos) << run.output;
}

// Whatever is wrong with the input, the user sees one line saying what, and status 2: no
// library or image-decoder lines, no report of plans begun.
TEST(DemoProgram, BadInputIsOneLineAndStatusTwo) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("demo_program_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string d = dir.string() + "/";
  cv::imwrite(d + "room.png", cv::Mat(40, 80, CV_8UC1, cv::Scalar(254)));
  std::vector<uchar> png;
  cv::imencode(".png", cv::Mat(200, 300, CV_8UC1, cv::Scalar(254)), png);
  std::ofstream(d + "cut.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()),
             static_cast<std::streamsize>(png.size() / 2));
  auto yaml = [&d](const std::string& name, const std::string& image, const std::string& origin) {
    std::ofstream(d + name) << "image: " << image << "\nresolution: 0.05\norigin: " << origin
                            << "\nnegate: 0\noccupied_thresh: 0.65\nfree_thresh: 0.196\n";
    return d + name;
  };
  const std::string rotated = yaml("rotated.yaml", "room.png", "[0, 0, 0.5]");
  const std::string cut = yaml("cut.yaml", "cut.png", "[0, 0, 0]");
  const std::string room = yaml("room.yaml", "room.png", "[0, 0, 0]");
  std::ofstream(d + "other.rooms.yaml")
      << "map: other.yaml\nrooms:\n- id: a\n  area_m2: 1\n  polygon: [[1, 1], [2, 1], [2, 1.5]]\n";
  std::ofstream(d + "far.rooms.yaml")
      << "rooms:\n- id: far\n  area_m2: 1\n  polygon: [[1, 1], [1e30, 1], [2, 1.5]]\n";
  ASSERT_EQ(::mkfifo((d + "pipe.yaml").c_str(), 0600), 0);
  std::ofstream(d + "robot.yaml") << "grid_maps:\n  ros__parameters: {footprint_padding: [\n";

  const struct {
    std::string arguments;
    std::string says;
  } cases[] = {
      {"--map " + rotated + " --start 1,1 --goal 2,1", "is rotated (origin yaw 0.50 rad)"},
      {"--scenario water --map " + rotated + " --start 1,1 --zone 0.5,0.5,3,0.5,3,1.5",
       "is rotated (origin yaw 0.50 rad)"},
      {"--map " + d + "pipe.yaml --start 1,1 --goal 2,1", "pipe.yaml' is a FIFO, not a file"},
      {"--map " + dir.string() + " --start 1,1 --goal 2,1", "is a directory, not a file"},
      {"--map " + cut + " --start 1,1 --goal 2,1",
       "cannot be decoded: it is damaged or not an image"},
      {"--goal 28,9.5 --planner dijksta", "there is no planner \"dijksta\""},
      {"--goal 28,9.5 --output " + d + "plans.xyz", "give it an image type such as .png"},
      {"--scenario water --zone 1e39,1,2,2,3,1", "\"1e39\" is too large for a zone corner"},
      {"--scenario water --zone 7,11,11,18,11,11,7,18", "crosses itself"},
      {"--goal", "option --goal needs a value (planning_demo --help tells more)"},
      {"--scenario drive --obstacle 4,1,1e300", "time must be from 0 to 86400 seconds"},
      {"--scenario drive --rooms " + d + "other.rooms.yaml", "belong to the clean scenario"},
      {"--scenario clean --room 3", "give the file with --rooms"},
      {"--scenario clean --goal 3,4", "--goal belongs to the global and drive scenarios"},
      {"--scenario clean --rooms " + d + "far.rooms.yaml --room west --room west",
       "--room west is given twice"},
      {"--scenario clean --zone 1e30,1,2,1,2,2", "zone corner 1 (1e+30, 1) lies far off the map"},
      {"--scenario clean --rooms " + d + "other.rooms.yaml",
       "made for the map \"other.yaml\", not for the floor in use"},
      {"--scenario clean --map " + room + " --rooms " + d + "other.rooms.yaml",
       "made for the map \"other.yaml\", not for " + room},
      {"--scenario clean --map " + room + " --rooms " + d + "far.rooms.yaml",
       "room far corner 2 (1e+30, 1) lies far off the map"},
      {"--scenario clean --params-file " + d + "robot.yaml", "robot.yaml is not YAML"},
      {"--scenario drive --params-file " + d + "none.yaml", "none.yaml does not exist"},
      {"--params-file " + d + "none.yaml",
       "--params-file belongs to the drive and clean scenarios"},
      // Values a node refuses when the scenario brings it up.
      {"--scenario clean --param global_path_point_count=4294967296",
       "planning_demo: parameter \"global_path_point_count\" is 4294967296, outside 1 to"},
      {"--scenario clean --param clean_cost=300",
       "planning_demo: parameter \"clean_cost\" is 300, outside 0 to 255"},
      {"--scenario clean --param distance_btw_lines=1e308",
       "planning_demo: parameter \"distance_btw_lines\" is 1e+308 m"},
      {"--scenario clean --param result_timeout_seconds=-1",
       "planning_demo: parameter \"result_timeout_seconds\" is -1, outside 0 to"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const DemoRun run = runDemo(c.arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    EXPECT_EQ(run.output.rfind("planning_demo: ", 0), 0U) << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
  }
  std::filesystem::remove_all(dir);
}

TEST(DemoProgram, WaterScenarioPrintsThePathAndSucceeds) {
  const std::string picture = "/tmp/planning_demo_water_" + std::to_string(getpid()) + ".png";
  const DemoRun run = runDemo("--scenario water --output " + picture);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("answer: 5 poses in "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("picture written to " + picture), std::string::npos) << run.output;
  std::remove(picture.c_str());
}

TEST(DemoProgram, WaterScenarioRefusesBadZonesWithStatusTwo) {
  DemoRun run = runDemo("--scenario water --zone 1,1,2,2");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("at least three corners"), std::string::npos) << run.output;

  run = runDemo("--scenario water --zone 1,1,40,2,3,5 --output /tmp/planning_demo_never.png");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("zone corner 2 (40.00, 2.00) lies off the map"), std::string::npos)
      << run.output;

  run = runDemo(
      "--scenario water --zone 21.2,14.3,25.8,14.3,25.8,15.7 --output "
      "/tmp/planning_demo_never.png");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("holds no free cell"), std::string::npos) << run.output;
}

TEST(DemoProgram, DriveScenarioExitsTwoOnBadInputAndOneOnALegNotReached) {
  const std::string picture = "/tmp/planning_demo_drive_" + std::to_string(getpid()) + ".png";
  const struct {
    std::string args;
    int status;
    std::string says;
  } cases[] = {
      {"--planner astar_with_local_and_global_map", 2, "local planner"},
      {"--obstacle 3", 2, "--obstacle 1 must be X,Y or X,Y,T"},
      {"--goal 6.05,14.0", 2, "lies inside a wall"},
      // An obstacle on the goal: the robot stops short of it until the time is up.
      {"--start 3,6 --goal 9,13.5 --obstacle 9,13.5", 1, "0 of 1 legs reached their goal"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const DemoRun run = runDemo("--scenario drive " + c.args + " --output " + picture);
    EXPECT_EQ(run.status, c.status) << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
  }
  std::remove(picture.c_str());
}

}  // namespace
