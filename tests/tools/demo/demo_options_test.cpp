// The demo's command line.
#include "demo_options.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "drive_scenario.hpp"
#include "path_picture.hpp"
#include "planning/planner_keys.hpp"
#include "scenarios.hpp"

namespace demo {
namespace {

// The message of the UsageError that `args` raise, or "" when they raise none.
std::string usageErrorOf(const std::vector<std::string>& args) {
  try {
    parseOptions(args);
  } catch (const UsageError& error) {
    return error.what();
  }
  return "";
}

TEST(DemoOptions, NothingGivenMeansTheTourOfTheBundledFloor) {
  const DemoOptions options = parseOptions({});
  EXPECT_EQ(options.scenario, "global");
  EXPECT_TRUE(options.map_yaml.empty());
  EXPECT_FALSE(options.start);
  EXPECT_TRUE(options.goals.empty());
  EXPECT_EQ(options.planner, "dijkstra");
  EXPECT_EQ(options.output, "global_plans.png");
  EXPECT_FALSE(options.help);
}

TEST(DemoOptions, GoalsAddLegsAndOtherOptionsTakeTheLastValue) {
  const DemoOptions options =
      parseOptions({"--output", "a.png", "--start", "1,2", "--goal", "3.5,4", "--goal",
                    "-5,6.25,1.5", "--planner", "wap_points", "--output", "b.png"});
  ASSERT_TRUE(options.start);
  EXPECT_EQ(options.start->x, 1.0);
  EXPECT_EQ(options.start->y, 2.0);
  EXPECT_EQ(options.start->yaw, 0.0);
  ASSERT_EQ(options.goals.size(), 2U);
  EXPECT_EQ(options.goals[0].x, 3.5);
  EXPECT_EQ(options.goals[1].x, -5.0);
  EXPECT_EQ(options.goals[1].y, 6.25);
  EXPECT_EQ(options.goals[1].yaw, 1.5);
  EXPECT_EQ(options.planner, "wap_points");
  EXPECT_EQ(options.output, "b.png");
}

TEST(DemoOptions, MalformedPositionsNameTheOptionAndTheText) {
  for (const std::string text :
       {"3", "a,b", "1,2,3,4", "1,,2", "nan,1", "1e999,2", "1,2,", "1x,2"}) {
    const std::string message = usageErrorOf({"--goal", text});
    EXPECT_NE(message.find("--goal 1"), std::string::npos) << text << ": " << message;
  }
  EXPECT_NE(usageErrorOf({"--start", "1;2"}).find("\"1;2\""), std::string::npos);
}

TEST(DemoOptions, MissingValuesAndUnknownArgumentsAreRefused) {
  EXPECT_EQ(usageErrorOf({"--goal"}), "option --goal needs a value");
  EXPECT_EQ(usageErrorOf({"--map", ""}), "option --map needs a value");
  EXPECT_EQ(usageErrorOf({"--fast"}), "unknown argument \"--fast\"");
  EXPECT_EQ(usageErrorOf({"3,4"}), "unknown argument \"3,4\"");
}

// A name reaches the nodes the scenario hosts, typed as they read it; one none of them reads is
// refused before anything runs.
TEST(DemoOptions, ParametersAreCheckedAgainstTheNodesTheScenarioHosts) {
  const DemoOptions clean =
      parseOptions({"--scenario", "clean", "--param", "static_coverage_safe_offset=0.41", "--param",
                    "safe_cost=3"});
  ASSERT_EQ(clean.node_parameters.size(), 2U);
  EXPECT_DOUBLE_EQ(clean.node_parameters[0].as_double(), 0.41);
  EXPECT_EQ(clean.node_parameters[1].as_int(), 3);
  // Where the robot's parameter file is read, --param takes every name the file does.
  const DemoOptions padded =
      parseOptions({"--scenario", "drive", "--param", "footprint_padding=0"});
  EXPECT_EQ(robotConfiguration(padded).footprint_padding, 0.0);
  const struct {
    std::vector<std::string> args;
    const char* error;
  } refused[] = {
      {{"--param", "static_coverage_safe_offset=0.41"}, "read by no part of"},
      {{"--scenario", "clean", "--param", "half_width=0.3"}, "'half_width' is read by no part"},
      {{"--scenario", "drive", "--param", "clean_cost=0.5"}, "needs a value of type integer"},
      {{"--scenario", "water", "--param", "safe_cost"}, "NAME=VALUE"},
      {{"--param", "footprint_padding=0.2"}, "'footprint_padding' is read by no part"},
      {{"--scenario", "clean", "--param", "footprint_padding=-0.1"},
       "footprint_padding '-0.1' must be a finite number of metres, 0 or more"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.args.back());
    const std::string message = usageErrorOf(c.args);
    EXPECT_NE(message.find(c.error), std::string::npos) << message;
    EXPECT_EQ(message.rfind("--param: ", 0), 0U) << message;
  }
}

TEST(DemoOptions, OnlyTheScenariosThatExistCanBeChosen) {
  const std::string message = usageErrorOf({"--scenario", "tour"});
  EXPECT_EQ(message.rfind("there is no scenario \"tour\"; available: ", 0), 0U) << message;
  EXPECT_NE(message.find("global"), std::string::npos) << message;
  EXPECT_NE(message.find("water"), std::string::npos) << message;
  EXPECT_EQ(parseOptions({"--scenario", "global"}).scenario, "global");
  EXPECT_EQ(parseOptions({"--scenario", "water"}).scenario, "water");
}

TEST(DemoOptions, AMapOfOnesOwnNeedsAStartAndAGoal) {
  EXPECT_EQ(usageErrorOf({"--map", "floor.yaml"}),
            "with --map, give --start and at least one --goal");
  EXPECT_EQ(usageErrorOf({"--map", "floor.yaml", "--goal", "1,1"}),
            "with --map, give --start and at least one --goal");
  EXPECT_EQ(usageErrorOf({"--map", "floor.yaml", "--start", "1,1", "--goal", "2,2"}), "");
}

TEST(DemoOptions, ZoneIsAListOfAtLeastThreeCorners) {
  const DemoOptions options = parseOptions(
      {"--scenario", "water", "--zone", "1,2,3,4,5,6", "--zone", "-1,0,2.5,0,2.5,3,-1,3"});
  ASSERT_EQ(options.zone.size(), 4U);
  EXPECT_EQ(options.zone[0].x, -1.0);
  EXPECT_EQ(options.zone[1].x, 2.5);
  EXPECT_EQ(options.zone[2].y, 3.0);
  EXPECT_EQ(options.zone[3].y, 3.0);

  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--zone", "1,1,2,2"}),
            "--zone needs at least three corners, not 2");
  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--zone", "1,1,2,2,3"}),
            "--zone must be X1,Y1,X2,Y2,... (pairs of metres), not \"1,1,2,2,3\"");
  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--zone", "1,1,2,2,3,"}),
            "--zone corner 3 y: \"\" is not a number");
  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--zone", "1,1,2,inf,3,3"}),
            "--zone corner 2 y: \"inf\" is not a number");
  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--zone"}), "option --zone needs a value");
}

TEST(DemoOptions, ZoneBelongsToTheWaterScenarioAndGoalsDoNot) {
  EXPECT_EQ(usageErrorOf({"--zone", "1,1,2,1,2,2"}),
            "--zone belongs to the water scenario (--scenario water)");
  EXPECT_EQ(usageErrorOf({"--zone", "1,1,2,1,2,2", "--scenario", "water"}), "");
  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--goal", "3,3"}),
            "--goal belongs to the global scenario; the water scenario takes --zone");
}

TEST(DemoOptions, WaterOnAMapOfOnesOwnNeedsAStartAndAZone) {
  const std::string needs = "with --map, the water scenario needs --start and --zone";
  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--map", "floor.yaml"}), needs);
  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--map", "floor.yaml", "--start", "1,1"}), needs);
  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--map", "floor.yaml", "--zone", "1,1,2,1,2,2"}),
            needs);
  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--map", "floor.yaml", "--start", "1,1", "--zone",
                          "1,1,2,1,2,2"}),
            "");
}

// A misspelt planner would only come back as a failed plan; it is bad input.
TEST(DemoOptions, PlannerIsOneOfTheGlobalNodesPlanners) {
  for (const char* key : planning::global_keys::kGlobalPlanners) {
    EXPECT_EQ(parseOptions({"--planner", key}).planner, key);
  }
  EXPECT_EQ(usageErrorOf({"--goal", "3,4", "--planner", "dijksta"}),
            "there is no planner \"dijksta\"; the global planning node has: "
            "astar_with_local_and_global_map, dijkstra, dijkstra_goalzone, dijkstra_uptake_water, "
            "lift, lift_out, recommand_points_planning, wap_points");
  EXPECT_NE(usageErrorOf({"--scenario", "lift", "--planner", "Dijkstra"}), "");
}

// Zone corners travel in single precision: beyond it they would arrive as "inf".
TEST(DemoOptions, ZoneCornersBeyondSinglePrecisionAreRefused) {
  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--zone", "1e39,1,2,2,3,1"}),
            "--zone corner 1 x: \"1e39\" is too large for a zone corner");
  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--zone", "1,1,2,-3.5e38,3,1"}),
            "--zone corner 2 y: \"-3.5e38\" is too large for a zone corner");
  EXPECT_EQ(parseOptions({"--scenario", "water", "--zone", "3e38,1,2,2,3,1"}).zone[0].x, 3e38);
}

// Found out before anything is planned, not after.
TEST(DemoOptions, OutputWhereNoPictureCanBeWrittenIsRefused) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("demo_output_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  ASSERT_EQ(::mkfifo((dir / "pipe.png").c_str(), 0600), 0);
  std::filesystem::create_directories(dir / "folder.png");
  const struct {
    std::string file;
    std::string why;
  } cases[] = {{(dir / "plans.xyz").string(), "give it an image type such as .png"},
               {(dir / "plans").string(), "give it an image type such as .png"},
               {(dir / "pipe.png").string(), "it is there already and is not a file"},
               {(dir / "folder.png").string(), "it is there already and is not a file"},
               {"/proc/planning_demo.png", "No such file or directory"}};
  for (const auto& c : cases) {
    try {
      checkPictureFile(c.file);
      ADD_FAILURE() << c.file << " was accepted";
    } catch (const InputError& error) {
      EXPECT_EQ(error.what(), "cannot write the picture to \"" + c.file + "\": " + c.why);
    }
  }
  // A good place is left as it was: its directories made, no file.
  const auto fine = dir / "new" / "plans.png";
  EXPECT_NO_THROW(checkPictureFile(fine.string()));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "new"));
  EXPECT_FALSE(std::filesystem::exists(fine));
  std::filesystem::remove_all(dir);
}

TEST(DemoOptions, HelpNeedsNothingElse) {
  EXPECT_TRUE(parseOptions({"--help"}).help);
  EXPECT_TRUE(parseOptions({"--map", "x.yaml", "-h"}).help);
  const std::string text = usage("planning_demo");
  EXPECT_NE(text.find("Usage: planning_demo"), std::string::npos);
  EXPECT_NE(text.find("--goal X,Y[,YAW]"), std::string::npos);
  EXPECT_NE(text.find("--zone X1,Y1,X2,Y2,X3,Y3[,...]"), std::string::npos);
  EXPECT_NE(text.find("water"), std::string::npos);
}

TEST(DriveOptions, ObstaclesAndPlannersAreCheckedForTheDrive) {
  const struct {
    std::vector<std::string> args;
    std::string refusal;
  } cases[] = {
      {{"--scenario", "drive", "--planner", "wap_points"}, "local planner \"dijkstra\" or"},
      {{"--scenario", "drive", "--zone", "1,1,2,1,2,2"}, "--zone belongs to the water"},
      {{"--scenario", "drive", "--map", "f.yaml", "--goal", "1,1"}, "with --map, give --start"},
      {{"--obstacle", "4,5"}, "--obstacle belongs to the drive scenario"},
      {{"--scenario", "drive", "--obstacle", "4"}, "--obstacle 1 must be X,Y or X,Y,T"},
      {{"--scenario", "drive", "--obstacle", "4,5,6,7"}, "--obstacle 1 must be X,Y or X,Y,T"},
      {{"--scenario", "drive", "--obstacle", "4,5", "--obstacle", "4,x"}, "--obstacle 2 y"},
      {{"--scenario", "drive", "--obstacle", "4,5,-1"},
       "--obstacle 1 time must be from 0 to 86400 seconds, not \"-1\""},
      {{"--scenario", "drive", "--obstacle", "4,1,1e300"},
       "--obstacle 1 time must be from 0 to 86400 seconds, not \"1e300\""},
      {{"--scenario", "drive", "--rooms", "floor.rooms.yaml"}, "--rooms and --room belong to the"},
      {{"--scenario", "drive", "--room", "3"}, "--rooms and --room belong to the clean scenario"},
      {{"--scenario", "drive", "--obstacle", "4,5,3", "--planner", "local_wap_points"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const std::string refusal = usageErrorOf(c.args);
    if (c.refusal.empty()) {
      EXPECT_EQ(refusal, "");
    } else {
      EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
    }
  }
  const DemoOptions options = parseOptions({"--scenario", "drive", "--obstacle", "4,5,2.5"});
  ASSERT_EQ(options.obstacles.size(), 1U);
  EXPECT_DOUBLE_EQ(options.obstacles[0].x, 4.0);
  EXPECT_DOUBLE_EQ(options.obstacles[0].y, 5.0);
  EXPECT_DOUBLE_EQ(options.obstacles[0].at, 2.5);

  // Positions are checked against the map before anything is hosted.
  const DemoMap floor = loadDemoMap("");
  Pose2 start;
  EXPECT_EQ(drivenLegs(parseOptions({"--scenario", "drive"}), floor, start).size(), 3U);
  EXPECT_THROW(
      drivenLegs(parseOptions({"--scenario", "drive", "--obstacle", "95,3"}), floor, start),
      InputError);
  EXPECT_THROW(
      drivenLegs(parseOptions({"--scenario", "drive", "--goal", "6.05,14.0"}), floor, start),
      InputError);
}

// Options the clean scenario would ignore or misread are refused, not passed over.
TEST(CleanOptions, OptionsTheCleanScenarioCannotUseAreRefused) {
  const struct {
    std::vector<std::string> args;
    std::string refusal;
  } cases[] = {
      {{"--room", "3"}, "--room picks rooms of a rooms file: give the file with --rooms"},
      {{"--goal", "3,4"},
       "--goal belongs to the global and drive scenarios; the clean scenario takes --zone or "
       "--rooms"},
      {{"--rooms", "f.rooms.yaml", "--room", "west", "--room", "east", "--room", "west"},
       "--room west is given twice"},
      {{"--rooms", "f.rooms.yaml", "--zone", "1,1,2,1,2,2"},
       "give the clean scenario --zone or --rooms, not both"},
      {{"--map", "f.yaml", "--rooms", "f.rooms.yaml", "--room", "west", "--room", "3"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    std::vector<std::string> args{"--scenario", "clean"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(usageErrorOf(args), c.refusal);
  }
  EXPECT_EQ(usageErrorOf({"--scenario", "water", "--rooms", "f.rooms.yaml"}),
            "--rooms and --room belong to the clean scenario (--scenario clean)");
}

}  // namespace
}  // namespace demo
