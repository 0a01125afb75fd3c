// Parameters a host gives the planning nodes through their NodeOptions, as a deployed node gets
// its parameter file: every name the node's code reads reaches it, whoever declares it, and a
// name none of its parts reads is refused by the host.
#include "planning_sim/node_parameters.hpp"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "planning/custom_planning/custom_planning_server.hpp"
#include "planning_sim/local_planning_sim.hpp"
#include "planning_sim/node_host.hpp"
#include "sim_fixtures.hpp"

namespace sim_test {
namespace {

using planning_sim::PlanningNode;
using NodePtr = std::shared_ptr<rclcpp_lifecycle::LifecycleNode>;

NodePtr start(planning_sim::LocalPlanningSim& sim, PlanningNode kind,
              const std::vector<rclcpp::Parameter>& parameters) {
  const rclcpp::NodeOptions options = planning_sim::nodeOptionsWith(kind, parameters);
  if (kind == PlanningNode::kLocal) {
    return sim.startLocalNode(options);
  }
  return sim.startGlobalNode(options);
}

// Each node is first brought up without parameters, and each name it then holds is given back
// to a second one with a few values changed: the node's plain declarations, its declarations
// when missing and its plain reads all take the host's value, and the configure passes.
TEST(NodeParameters, EveryNameANodeReadsReachesItFromTheOverrides) {
  const std::map<std::string, rclcpp::ParameterValue> changed{
      {"safe_cost", rclcpp::ParameterValue(7)},                       // global, plain
      {"max_goal_dis", rclcpp::ParameterValue(2.5)},                  // local node, plain
      {"clean_cost", rclcpp::ParameterValue(240)},                    // contour manager, plain
      {"robot_half_width_offset", rclcpp::ParameterValue(0.4)},       // coverage planner table
      {"distance_btw_lines", rclcpp::ParameterValue(0.45)},           // declared when missing
      {"static_coverage_safe_offset", rclcpp::ParameterValue(0.41)},  // read, never declared
  };
  planning_sim::LocalPlanningSim plain_sim(corridorFloor());
  planning_sim::LocalPlanningSim given_sim(corridorFloor());
  for (const PlanningNode kind : {PlanningNode::kGlobal, PlanningNode::kLocal}) {
    SCOPED_TRACE(kind == PlanningNode::kGlobal ? "global" : "local");
    const NodePtr plain = start(plain_sim, kind, {});
    std::vector<rclcpp::Parameter> given;
    for (const auto& [name, type] : planning_sim::nodeParameterTypes(kind)) {
      const auto change = changed.find(name);
      if (change != changed.end()) {
        given.push_back(planning_sim::nodeParameter({kind}, name, change->second));
      } else {
        ASSERT_TRUE(plain->has_parameter(name)) << name << " is read but never on the node";
        EXPECT_EQ(plain->get_parameter(name).get_type(), type) << name;
        given.push_back(plain->get_parameter(name));
      }
    }
    const NodePtr node = start(given_sim, kind, given);
    for (const auto& parameter : given) {
      EXPECT_EQ(node->get_parameter(parameter.get_name()), parameter);
    }
  }
}

// What bringing the node up with `parameter` throws: the node's refusal, or "" when it comes up.
std::string refusalOf(PlanningNode kind, const rclcpp::Parameter& parameter) {
  try {
    if (kind == PlanningNode::kCustom) {
      const auto node = std::make_shared<planning::custom_planning::CustomPlanningServer>(
          planning_sim::nodeOptionsWith(kind, {parameter}));
      planning_sim::bringUp(*node);
    } else {
      planning_sim::LocalPlanningSim sim(corridorFloor());
      start(sim, kind, {parameter});
    }
  } catch (const planning_sim::NodeParameterError& e) {
    return e.what();
  }
  return "";
}

// Every integer a node reads (the names its code reads, as docs/parameters.md lists them) is
// range-checked at configure: 2^32 would wrap to 0 in an int. Lengths no grid map can measure
// are refused the same way. The host learns which value it was, in the node's one line.
TEST(NodeParameters, ValuesANodeCannotUseFailItsConfigureNamingThem) {
  const planning_sim::NodeHost rclcpp_running;
  struct Case {
    PlanningNode node;
    rclcpp::Parameter parameter;
    std::string says;
  };
  std::vector<Case> cases{
      {PlanningNode::kLocal, rclcpp::Parameter("robot_half_width_offset", 1e300),
       "parameter \"robot_half_width_offset\" is 1e+300, outside -107374183.95 to 107374183.95"},
      {PlanningNode::kLocal, rclcpp::Parameter("plnning_offset_distance", -1e300),
       "parameter \"plnning_offset_distance\" is -1e+300, outside"},
      {PlanningNode::kLocal, rclcpp::Parameter("distance_btw_lines", 1e308),
       "parameter \"distance_btw_lines\" is 1e+308 m"},
      {PlanningNode::kLocal, rclcpp::Parameter("global_path_point_count", 0),
       "parameter \"global_path_point_count\" is 0, outside 1 to 2147483647"},
  };
  for (const PlanningNode kind :
       {PlanningNode::kGlobal, PlanningNode::kLocal, PlanningNode::kCustom}) {
    for (const auto& [name, type] : planning_sim::nodeParameterTypes(kind)) {
      if (type == rclcpp::PARAMETER_INTEGER) {
        cases.push_back({kind, rclcpp::Parameter(name, int64_t{1} << 32),
                         "parameter \"" + name + "\" is 4294967296, outside "});
      }
    }
  }
  ASSERT_GT(cases.size(), 30U);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parameter.get_name());
    const std::string refusal = refusalOf(c.node, c.parameter);
    EXPECT_EQ(refusal.rfind(c.says, 0), 0U) << refusal;
    EXPECT_EQ(refusal.find('\n'), std::string::npos);
  }
}

TEST(NodeParameters, TextIsReadAsTheTypeTheNodeReadsAndRefusedOtherwise) {
  const std::vector<PlanningNode> both{PlanningNode::kGlobal, PlanningNode::kLocal};
  const struct {
    const char* text;
    rclcpp::ParameterValue value;
  } read[] = {
      {"max_goal_dis=2", rclcpp::ParameterValue(2.0)},
      {"clean_cost=240", rclcpp::ParameterValue(int64_t{240})},
      {"enable_trace=true", rclcpp::ParameterValue(true)},
      {"lift_polygon=1,2,3.5", rclcpp::ParameterValue(std::vector<double>{1.0, 2.0, 3.5})},
  };
  for (const auto& c : read) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(planning_sim::nodeParameterFromText(both, c.text).get_parameter_value(), c.value);
  }
  const struct {
    std::vector<PlanningNode> nodes;
    const char* text;
    const char* error;
  } refused[] = {
      {both, "half_width=0.3", "'half_width' is read by no part of"},
      {{PlanningNode::kLocal}, "safe_cost=3", "'safe_cost' is read by no part of"},
      {both, "clean_cost=0.5", "needs a value of type integer"},
      {both, "enable_trace=1", "needs a value of type bool"},
      {both, "max_goal_dis=nan", "needs a value of type double"},
      {both, "max_goal_dis", "NAME=VALUE"},
      {both, "=2", "NAME=VALUE"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.text);
    try {
      planning_sim::nodeParameterFromText(c.nodes, c.text);
      ADD_FAILURE() << "accepted";
    } catch (const planning_sim::NodeParameterError& e) {
      EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
    }
  }
  EXPECT_THROW(planning_sim::nodeParameter(both, "max_goal_dis", rclcpp::ParameterValue("far")),
               planning_sim::NodeParameterError);
}

}  // namespace
}  // namespace sim_test
