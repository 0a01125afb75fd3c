// The demo program as a user runs it: exit status and messages.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

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

}  // namespace
