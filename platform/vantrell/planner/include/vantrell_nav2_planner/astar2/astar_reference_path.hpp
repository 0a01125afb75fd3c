#ifndef VANTRELL_NAV2_PLANNER__ASTAR2__ASTAR_REFERENCE_PATH_HPP_
#define VANTRELL_NAV2_PLANNER__ASTAR2__ASTAR_REFERENCE_PATH_HPP_

#include "nav_msgs/msg/path.hpp"

namespace vantrell_nav2_planner {
namespace astar2 {

/// A path the search should keep close to, handed in through AstarOptions::reference_path.
///
/// Cells near the reference cost nothing extra; farther away a step pays an extra cost that
/// grows linearly to `path_cost`:
///  - `path_cost`: the largest extra cost, on the 0..252 scale of the cost layer (0 or less:
///    the reference has no effect);
///  - `distance`: metres over which the extra cost grows from 0 to `path_cost`, measured from the
///    edge of the free band (0: full extra cost right outside the band);
///  - `range`: half-width in metres of the free band around the reference; AstarOptions::
///    offset_cells widens it by that many cells.
/// The poses are read in the grid map's global frame; poses off the map are skipped.
struct AstarReferencePath {
  nav_msgs::msg::Path path;
  double path_cost{0.0};
  double distance{0.0};
  double range{0.0};
};

}  // namespace astar2
}  // namespace vantrell_nav2_planner

#endif  // VANTRELL_NAV2_PLANNER__ASTAR2__ASTAR_REFERENCE_PATH_HPP_
