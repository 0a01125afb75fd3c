// Which grid maps of one floor may share a snapshot of their layers: only those whose every
// input is equal. A map built with another footprint, inflation or passage width on the same
// floor must get layers of its own.
#include "shared_layers.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using vantrell_nav2_gridmap::GridLayers;
using vantrell_nav2_gridmap::SharedLayers;

TEST(SharedLayers, MapsShareASnapshotOnlyWhenNoInputDiffers) {
  const auto costs = std::make_shared<const SharedLayers::Costs>(12, 0);
  const auto other_costs = std::make_shared<const SharedLayers::Costs>(12, 254);
  const auto obstacles = std::make_shared<const SharedLayers::ObstacleCells>(12, 0);
  const auto other_obstacles = std::make_shared<const SharedLayers::ObstacleCells>(12, 1);
  SharedLayers::Inputs first;
  first.static_costs = costs;
  first.obstacles = obstacles;
  first.size_x = 4;
  first.size_y = 3;
  first.resolution = 0.05;
  first.origin_x = -1.0;
  first.origin_y = -2.0;
  first.inscribed_radius = 0.25;
  first.circumscribed_radius = 0.39;
  first.inflation_radius = 0.55;
  first.cost_scaling_factor = 10.0;
  first.inflate_unknown = false;
  first.narrow_passage_width = 1.2;
  using Inputs = SharedLayers::Inputs;
  const struct {
    const char* name;
    std::function<void(Inputs&)> change;
    bool shares;
  } cases[] = {
      {"nothing", [](Inputs&) {}, true},
      {"static costs", [&](Inputs& in) { in.static_costs = other_costs; }, false},
      {"obstacles", [&](Inputs& in) { in.obstacles = other_obstacles; }, false},
      {"no obstacles", [](Inputs& in) { in.obstacles.reset(); }, false},
      {"size_x", [](Inputs& in) { in.size_x = 3; }, false},
      {"size_y", [](Inputs& in) { in.size_y = 4; }, false},
      {"resolution", [](Inputs& in) { in.resolution = 0.1; }, false},
      {"origin_x", [](Inputs& in) { in.origin_x = 0.0; }, false},
      {"origin_y", [](Inputs& in) { in.origin_y = 0.0; }, false},
      {"inscribed_radius", [](Inputs& in) { in.inscribed_radius = 0.2; }, false},
      {"circumscribed_radius", [](Inputs& in) { in.circumscribed_radius = 0.5; }, false},
      {"inflation_radius", [](Inputs& in) { in.inflation_radius = 0.8; }, false},
      {"cost_scaling_factor", [](Inputs& in) { in.cost_scaling_factor = 3.0; }, false},
      {"inflate_unknown", [](Inputs& in) { in.inflate_unknown = true; }, false},
      {"narrow_passage_width", [](Inputs& in) { in.narrow_passage_width = 0.8; }, false},
  };
  const auto build = [] { return std::make_shared<const GridLayers>(); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto registry = std::make_shared<SharedLayers>();
    const auto layers = registry->snapshot(first, build);
    Inputs second = first;
    c.change(second);
    EXPECT_EQ(registry->snapshot(second, build) == layers, c.shares);
  }
}

}  // namespace
