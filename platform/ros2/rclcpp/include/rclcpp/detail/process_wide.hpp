#ifndef RCLCPP__DETAIL__PROCESS_WIDE_HPP_
#define RCLCPP__DETAIL__PROCESS_WIDE_HPP_

#include <memory>

namespace rclcpp {
namespace detail {

// One process-wide object of T (a registry of this in-process ROS), made on first use. A static
// holder owns it together with everything that uses it: every context, and whatever touches it
// on its way out (entities, clocks, loggers). So a host's own static object (a grid map, a node)
// destroyed after the process's statics at exit still finds it, as real rclcpp keeps its context
// alive while anything uses it. T derives from std::enable_shared_from_this<T>.
template <typename T>
class ProcessWide {
 public:
  // Valid while any holder lives, also after the static holder has let go at exit.
  static T& instance() {
    static T* const object = owner().get();
    return *object;
  }

  // A further holder.
  static std::shared_ptr<T> shared() { return instance().shared_from_this(); }

 private:
  static const std::shared_ptr<T>& owner() {
    static const std::shared_ptr<T> holder = std::make_shared<T>();
    return holder;
  }
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__PROCESS_WIDE_HPP_
