#ifndef RCLCPP__WAITABLE_HPP_
#define RCLCPP__WAITABLE_HPP_

#include <functional>
#include <memory>

#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp {

// Something with work of its own kind for an executor (the action server and
// client are waitables): the executor takes one piece of data when ready and
// hands it back to `execute` on its thread.
class Waitable : public detail::ExecutableEntity, public std::enable_shared_from_this<Waitable> {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(Waitable)

  ~Waitable() override;

  virtual bool is_ready() = 0;
  // Null when there is nothing to do.
  virtual std::shared_ptr<void> take_data() = 0;
  virtual void execute(std::shared_ptr<void>& data) = 0;

  std::function<void()> take_ready_work() override;
  bool has_ready_work() override;
};

}  // namespace rclcpp

#endif  // RCLCPP__WAITABLE_HPP_
