#ifndef RCLCPP__NODE_INTERFACES__NODE_BASE_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_BASE_INTERFACE_HPP_

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_options.hpp"

namespace rclcpp {
namespace node_interfaces {

// Name, namespace, context and callback groups of a node. Name and namespace
// are validated as ROS 2 does; topic and service names resolve against them.
class NodeBaseInterface : public std::enable_shared_from_this<NodeBaseInterface> {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeBaseInterface)

  NodeBaseInterface(const std::string& node_name, const std::string& namespace_,
                    const NodeOptions& options);
  virtual ~NodeBaseInterface();
  NodeBaseInterface(const NodeBaseInterface&) = delete;
  NodeBaseInterface& operator=(const NodeBaseInterface&) = delete;

  const char* get_name() const;
  const char* get_namespace() const;
  const char* get_fully_qualified_name() const;
  Context::SharedPtr get_context();

  CallbackGroup::SharedPtr create_callback_group(
      CallbackGroupType group_type, bool automatically_add_to_executor_with_node = true);
  CallbackGroup::SharedPtr get_default_callback_group();
  bool callback_group_in_node(CallbackGroup::SharedPtr group);
  void for_each_callback_group(const std::function<void(CallbackGroup::SharedPtr)>& func);
  std::atomic_bool& get_associated_with_executor_atomic();

  bool get_use_intra_process_default() const;
  bool get_enable_topic_statistics_default() const;
  // "~/x" and "~" resolve under the node's full name, relative names under its
  // namespace, "{node}" and "{ns}" are substituted. Throws
  // InvalidTopicNameError / InvalidServiceNameError for a malformed name.
  std::string resolve_topic_or_service_name(const std::string& name, bool is_service,
                                            bool only_expand = false) const;

  // Machinery: places an entity in `group` (the default group when null),
  // which must belong to this node.
  void add_entity(const std::shared_ptr<detail::ExecutableEntity>& entity,
                  CallbackGroup::SharedPtr group, const char* what);
  std::shared_ptr<detail::NodeExecutorLink> get_executor_link();

 private:
  std::string name_;
  std::string namespace_;
  std::string fully_qualified_name_;
  Context::SharedPtr context_;
  const bool use_intra_process_default_;
  const bool enable_topic_statistics_default_;
  std::shared_ptr<detail::NodeExecutorLink> executor_link_;
  std::atomic_bool associated_with_executor_{false};
  mutable std::mutex groups_mutex_;
  CallbackGroup::SharedPtr default_callback_group_;
  std::vector<CallbackGroup::WeakPtr> callback_groups_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_BASE_INTERFACE_HPP_
