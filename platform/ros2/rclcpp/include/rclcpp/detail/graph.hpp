#ifndef RCLCPP__DETAIL__GRAPH_HPP_
#define RCLCPP__DETAIL__GRAPH_HPP_

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <vector>

namespace rclcpp {

class PublisherBase;
class SubscriptionBase;
class QoS;

namespace detail {

// The process's registry of everything that talks by name: publishers and
// subscriptions by topic, and named endpoints (services, action servers and
// clients) by kind and name. It replaces discovery and transport: publishing
// hands the message to the matching subscriptions' queues directly.
class Graph : public std::enable_shared_from_this<Graph> {
 public:
  static Graph& instance();
  // What a holder keeps to find the registry on its way out (see ProcessWide).
  static std::shared_ptr<Graph> shared_instance();

  Graph() = default;

  void add_publisher(const std::shared_ptr<PublisherBase>& publisher);
  void remove_publisher(const PublisherBase* publisher);
  void add_subscription(const std::shared_ptr<SubscriptionBase>& subscription);
  void remove_subscription(const SubscriptionBase* subscription);
  // Delivers to every matching subscription; a transient-local publisher's
  // `kept` history (kept to `keep` messages) takes the message as well.
  void publish(const PublisherBase& publisher, const std::shared_ptr<const void>& message,
               std::deque<std::shared_ptr<const void>>& kept, size_t keep);
  size_t count_matching_subscriptions(const PublisherBase& publisher) const;
  size_t count_matching_publishers(const SubscriptionBase& subscription) const;
  size_t count_publishers(const std::string& topic_name) const;
  size_t count_subscribers(const std::string& topic_name) const;
  std::map<std::string, std::vector<std::string>> get_topic_names() const;

  // Named endpoints, e.g. kind "service" or "action_server".
  void add_endpoint(const std::string& kind, const std::string& name, std::type_index type,
                    const std::shared_ptr<void>& object);
  void remove_endpoint(const std::string& kind, const std::string& name, const void* object);
  std::vector<std::shared_ptr<void>> find_endpoints(const std::string& kind,
                                                    const std::string& name,
                                                    std::type_index type) const;

  // Waits until `ready` holds, re-checking on every change of the graph and on
  // shutdown. A negative timeout waits without limit. Returns `ready()`.
  bool wait_for(const std::function<bool()>& ready, std::chrono::nanoseconds timeout) const;
  void wake() const;

 private:
  struct Endpoint {
    std::type_index type;
    std::weak_ptr<void> object;
    const void* key;
  };
  struct Topic {
    std::vector<std::weak_ptr<PublisherBase>> publishers;
    std::vector<std::weak_ptr<SubscriptionBase>> subscriptions;
  };

  static bool matches(const PublisherBase& publisher, const SubscriptionBase& subscription);

  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  mutable uint64_t generation_ = 0;
  std::map<std::string, Topic> topics_;
  std::map<std::string, std::vector<Endpoint>> endpoints_;  // key: kind + " " + name
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__GRAPH_HPP_
