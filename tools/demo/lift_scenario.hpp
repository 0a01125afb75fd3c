#ifndef DEMO__LIFT_SCENARIO_HPP_
#define DEMO__LIFT_SCENARIO_HPP_

#include <opencv2/core.hpp>
#include <ostream>

#include "demo_options.hpp"
#include "geometry_msgs/msg/polygon.hpp"

namespace demo {

/**
 * The lift hall of the lift scenario, drawn here: 10 m x 8 m at 0.05 m per cell, a bench and a
 * planter in the hall, and on its north side two lift cars (A west, B east), each 2 m wide and
 * 2.35 m deep behind a 1.5 m door. One pixel per cell, row = cell y (not flipped): 255 free,
 * 0 wall.
 */
struct LiftHall {
  static constexpr double kResolution = 0.05;

  cv::Mat image;
  // The cars as the task manager describes them: corners 0 and 3 on the back wall, 1 and 2 at
  // the door.
  geometry_msgs::msg::Polygon car_a;
  geometry_msgs::msg::Polygon car_b;
  // The middle of each door.
  Pose2 door_a;
  Pose2 door_b;
  // Where the robot waits for the lift.
  Pose2 robot;
};

LiftHall drawLiftHall();

/**
 * The "lift" scenario: hosts the global planning node on the drawn lift hall and plays the task
 * manager of a lift ride: checks car B (a wheelchair stands in it) and car A, asks whether the
 * place found is free, plans into car A, asks for the forced path into it, then, with the robot
 * in the car, checks the way out and plans it. Prints one line per request and writes the
 * picture. Returns kAllPlansSucceeded when every answer came out as a lift ride needs it, else
 * kPlanFailed.
 */
int runLiftScenario(const DemoOptions& options, std::ostream& out);

}  // namespace demo

#endif  // DEMO__LIFT_SCENARIO_HPP_
