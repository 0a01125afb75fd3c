#include "rclcpp/node_interfaces/node_base_interface.hpp"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "rclcpp/exceptions.hpp"

namespace rclcpp {
namespace node_interfaces {

namespace {
bool is_name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

void validate_node_name(const std::string& name) {
  if (name.empty()) {
    throw exceptions::InvalidNodeNameError(name.c_str(), "node name must not be empty", 0);
  }
  if (std::isdigit(static_cast<unsigned char>(name[0]))) {
    throw exceptions::InvalidNodeNameError(name.c_str(), "node name must not start with a number",
                                           0);
  }
  for (size_t i = 0; i < name.size(); ++i) {
    if (!is_name_char(name[i])) {
      throw exceptions::InvalidNodeNameError(
          name.c_str(), "node name must not contain characters other than alphanumerics or '_'", i);
    }
  }
}

// Checks an absolute, expanded name: "/" separated tokens of alphanumerics
// and '_', none empty or starting with a digit. Returns the bad index or npos.
size_t find_name_error(const std::string& name, bool allow_root, const char** error) {
  if (name.empty() || name[0] != '/') {
    *error = "must be absolute";
    return 0;
  }
  if (name == "/") {
    *error = "must not be just a slash";
    return allow_root ? std::string::npos : 0;
  }
  if (name.back() == '/') {
    *error = "must not end with a forward slash";
    return name.size() - 1;
  }
  for (size_t i = 1; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '/') {
      if (name[i - 1] == '/') {
        *error = "must not contain repeated forward slashes";
        return i;
      }
    } else if (!is_name_char(c)) {
      *error = "must not contain characters other than alphanumerics, '_', '~', '{', or '}'";
      return i;
    } else if (name[i - 1] == '/' && std::isdigit(static_cast<unsigned char>(c))) {
      *error = "a token must not start with a number";
      return i;
    }
  }
  return std::string::npos;
}

std::string normalize_namespace(const std::string& ns) {
  std::string result = ns.empty() ? "/" : ns;
  if (result[0] != '/') {
    result = "/" + result;
  }
  const char* error = nullptr;
  const size_t bad = find_name_error(result, true, &error);
  if (bad != std::string::npos) {
    throw exceptions::InvalidNamespaceError(result.c_str(), error, bad);
  }
  return result;
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
  for (size_t pos = text.find(from); pos != std::string::npos;
       pos = text.find(from, pos + to.size())) {
    text.replace(pos, from.size(), to);
  }
}
}  // namespace

NodeBaseInterface::NodeBaseInterface(const std::string& node_name,
                                     const std::string& node_namespace, const NodeOptions& options)
    : name_(node_name),
      context_(options.context()),
      use_intra_process_default_(options.use_intra_process_comms()),
      enable_topic_statistics_default_(options.enable_topic_statistics()),
      executor_link_(std::make_shared<detail::NodeExecutorLink>()) {
  std::string ns = node_namespace;
  // Renames given as arguments: --ros-args -r __node:=name -r __ns:=/ns
  const auto& args = options.arguments();
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "-r" || args[i] == "--remap") {
      const std::string& rule = args[i + 1];
      if (rule.rfind("__node:=", 0) == 0) {
        name_ = rule.substr(8);
      } else if (rule.rfind("__ns:=", 0) == 0) {
        ns = rule.substr(6);
      }
    }
  }
  validate_node_name(name_);
  namespace_ = normalize_namespace(ns);
  fully_qualified_name_ = (namespace_ == "/" ? "" : namespace_) + "/" + name_;
  context_->init_if_needed();
  default_callback_group_ = std::make_shared<CallbackGroup>(CallbackGroupType::MutuallyExclusive);
  default_callback_group_->set_node_link(executor_link_);
  callback_groups_.push_back(default_callback_group_);
}

NodeBaseInterface::~NodeBaseInterface() = default;

const char* NodeBaseInterface::get_name() const { return name_.c_str(); }

const char* NodeBaseInterface::get_namespace() const { return namespace_.c_str(); }

const char* NodeBaseInterface::get_fully_qualified_name() const {
  return fully_qualified_name_.c_str();
}

Context::SharedPtr NodeBaseInterface::get_context() { return context_; }

CallbackGroup::SharedPtr NodeBaseInterface::create_callback_group(
    CallbackGroupType group_type, bool automatically_add_to_executor_with_node) {
  auto group = std::make_shared<CallbackGroup>(group_type, automatically_add_to_executor_with_node);
  group->set_node_link(executor_link_);
  {
    std::lock_guard<std::mutex> lock(groups_mutex_);
    callback_groups_.erase(
        std::remove_if(callback_groups_.begin(), callback_groups_.end(),
                       [](const CallbackGroup::WeakPtr& g) { return g.expired(); }),
        callback_groups_.end());
    callback_groups_.push_back(group);
  }
  return group;
}

CallbackGroup::SharedPtr NodeBaseInterface::get_default_callback_group() {
  return default_callback_group_;
}

bool NodeBaseInterface::callback_group_in_node(CallbackGroup::SharedPtr group) {
  std::lock_guard<std::mutex> lock(groups_mutex_);
  for (const auto& weak : callback_groups_) {
    if (weak.lock() == group) {
      return true;
    }
  }
  return false;
}

void NodeBaseInterface::for_each_callback_group(
    const std::function<void(CallbackGroup::SharedPtr)>& func) {
  std::vector<CallbackGroup::SharedPtr> groups;
  {
    std::lock_guard<std::mutex> lock(groups_mutex_);
    for (const auto& weak : callback_groups_) {
      if (auto group = weak.lock()) {
        groups.push_back(std::move(group));
      }
    }
  }
  for (const auto& group : groups) {
    func(group);
  }
}

std::atomic_bool& NodeBaseInterface::get_associated_with_executor_atomic() {
  return associated_with_executor_;
}

bool NodeBaseInterface::get_use_intra_process_default() const { return use_intra_process_default_; }

bool NodeBaseInterface::get_enable_topic_statistics_default() const {
  return enable_topic_statistics_default_;
}

std::string NodeBaseInterface::resolve_topic_or_service_name(const std::string& name,
                                                             bool is_service,
                                                             bool only_expand) const {
  (void)only_expand;  // there are no remappings to apply
  auto fail = [&](const std::string& bad, const char* error, size_t index) {
    if (is_service) {
      throw exceptions::InvalidServiceNameError(bad.c_str(), error, index);
    }
    throw exceptions::InvalidTopicNameError(bad.c_str(), error, index);
  };
  if (name.empty()) {
    fail(name, "must not be empty", 0);
  }
  std::string expanded = name;
  replace_all(expanded, "{node}", name_);
  // "{ns}" is the absolute namespace, so "{ns}/x" names "/ns/x" (and "/x" at the root).
  replace_all(expanded, "{ns}", namespace_ == "/" ? "" : namespace_);
  if (expanded[0] == '~') {
    if (expanded.size() > 1 && expanded[1] != '/') {
      fail(name, "'~' must be followed by a forward slash", 1);
    }
    expanded = fully_qualified_name_ + expanded.substr(1);
  } else if (expanded[0] != '/') {
    expanded = (namespace_ == "/" ? "" : namespace_) + "/" + expanded;
  }
  const char* error = nullptr;
  const size_t bad = find_name_error(expanded, false, &error);
  if (bad != std::string::npos) {
    fail(expanded, error, bad);
  }
  return expanded;
}

void NodeBaseInterface::add_entity(const std::shared_ptr<detail::ExecutableEntity>& entity,
                                   CallbackGroup::SharedPtr group, const char* what) {
  if (!group) {
    group = default_callback_group_;
  } else if (!callback_group_in_node(group)) {
    throw std::runtime_error(std::string("Cannot create ") + what + ", group not in node.");
  }
  entity->set_callback_group(group);
  group->add_entity(entity);
}

std::shared_ptr<detail::NodeExecutorLink> NodeBaseInterface::get_executor_link() {
  return executor_link_;
}

}  // namespace node_interfaces
}  // namespace rclcpp
