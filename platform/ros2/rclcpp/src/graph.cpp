#include "rclcpp/detail/graph.hpp"

#include <algorithm>

#include "rclcpp/detail/process_wide.hpp"
#include "rclcpp/publisher_base.hpp"
#include "rclcpp/subscription_base.hpp"

namespace rclcpp {
namespace detail {

namespace {
bool is_reliable(const QoS& qos) { return qos.reliability() != ReliabilityPolicy::BestEffort; }

bool is_transient_local(const QoS& qos) {
  return qos.durability() == DurabilityPolicy::TransientLocal;
}

template <typename T>
void drop_expired(std::vector<std::weak_ptr<T>>& items) {
  items.erase(std::remove_if(items.begin(), items.end(),
                             [](const std::weak_ptr<T>& item) { return item.expired(); }),
              items.end());
}
}  // namespace

Graph& Graph::instance() { return ProcessWide<Graph>::instance(); }

std::shared_ptr<Graph> Graph::shared_instance() { return ProcessWide<Graph>::shared(); }

bool Graph::matches(const PublisherBase& publisher, const SubscriptionBase& subscription) {
  if (publisher.get_message_type() != subscription.get_message_type()) {
    return false;
  }
  const QoS pub_qos = publisher.get_actual_qos();
  const QoS sub_qos = subscription.get_actual_qos();
  // A reader may not ask for more than the writer offers.
  if (is_reliable(sub_qos) && !is_reliable(pub_qos)) {
    return false;
  }
  if (is_transient_local(sub_qos) && !is_transient_local(pub_qos)) {
    return false;
  }
  return true;
}

void Graph::add_publisher(const std::shared_ptr<PublisherBase>& publisher) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& topic = topics_[publisher->get_topic_name()];
    drop_expired(topic.publishers);
    topic.publishers.push_back(publisher);
    ++generation_;
  }
  cv_.notify_all();
}

void Graph::remove_publisher(const PublisherBase* publisher) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = topics_.find(publisher->get_topic_name());
    if (it != topics_.end()) {
      auto& pubs = it->second.publishers;
      pubs.erase(std::remove_if(pubs.begin(), pubs.end(),
                                [publisher](const std::weak_ptr<PublisherBase>& p) {
                                  auto locked = p.lock();
                                  return !locked || locked.get() == publisher;
                                }),
                 pubs.end());
    }
    ++generation_;
  }
  cv_.notify_all();
}

void Graph::add_subscription(const std::shared_ptr<SubscriptionBase>& subscription) {
  // Declared before the lock: the last reference to a publisher may go here,
  // and its destructor takes the lock.
  std::vector<std::shared_ptr<PublisherBase>> publishers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& topic = topics_[subscription->get_topic_name()];
    drop_expired(topic.subscriptions);
    topic.subscriptions.push_back(subscription);
    ++generation_;
    if (is_transient_local(subscription->get_actual_qos())) {
      for (const auto& weak : topic.publishers) {
        auto publisher = weak.lock();
        if (publisher && matches(*publisher, *subscription)) {
          for (const auto& message : publisher->kept_messages()) {
            subscription->enqueue(message);
          }
          publishers.push_back(std::move(publisher));
        }
      }
    }
  }
  cv_.notify_all();
}

void Graph::remove_subscription(const SubscriptionBase* subscription) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = topics_.find(subscription->get_topic_name());
    if (it != topics_.end()) {
      auto& subs = it->second.subscriptions;
      subs.erase(std::remove_if(subs.begin(), subs.end(),
                                [subscription](const std::weak_ptr<SubscriptionBase>& s) {
                                  auto locked = s.lock();
                                  return !locked || locked.get() == subscription;
                                }),
                 subs.end());
    }
    ++generation_;
  }
  cv_.notify_all();
}

void Graph::publish(const PublisherBase& publisher, const std::shared_ptr<const void>& message,
                    std::deque<std::shared_ptr<const void>>& kept, size_t keep) {
  // Destroyed after the lock is released: a subscription whose last reference
  // goes here unregisters itself, which takes the lock.
  std::vector<std::shared_ptr<SubscriptionBase>> receivers;
  std::lock_guard<std::mutex> lock(mutex_);
  if (keep > 0) {
    kept.push_back(message);
    while (kept.size() > keep) {
      kept.pop_front();
    }
  }
  auto it = topics_.find(publisher.get_topic_name());
  if (it == topics_.end()) {
    return;
  }
  for (const auto& weak : it->second.subscriptions) {
    auto subscription = weak.lock();
    if (subscription && matches(publisher, *subscription)) {
      subscription->enqueue(message);
      receivers.push_back(std::move(subscription));
    }
  }
}

size_t Graph::count_matching_subscriptions(const PublisherBase& publisher) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = topics_.find(publisher.get_topic_name());
  if (it == topics_.end()) {
    return 0;
  }
  size_t count = 0;
  for (const auto& weak : it->second.subscriptions) {
    auto subscription = weak.lock();
    count += (subscription && matches(publisher, *subscription)) ? 1 : 0;
  }
  return count;
}

size_t Graph::count_matching_publishers(const SubscriptionBase& subscription) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = topics_.find(subscription.get_topic_name());
  if (it == topics_.end()) {
    return 0;
  }
  size_t count = 0;
  for (const auto& weak : it->second.publishers) {
    auto publisher = weak.lock();
    count += (publisher && matches(*publisher, subscription)) ? 1 : 0;
  }
  return count;
}

size_t Graph::count_publishers(const std::string& topic_name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = topics_.find(topic_name);
  if (it == topics_.end()) {
    return 0;
  }
  return static_cast<size_t>(
      std::count_if(it->second.publishers.begin(), it->second.publishers.end(),
                    [](const std::weak_ptr<PublisherBase>& p) { return !p.expired(); }));
}

size_t Graph::count_subscribers(const std::string& topic_name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = topics_.find(topic_name);
  if (it == topics_.end()) {
    return 0;
  }
  return static_cast<size_t>(
      std::count_if(it->second.subscriptions.begin(), it->second.subscriptions.end(),
                    [](const std::weak_ptr<SubscriptionBase>& s) { return !s.expired(); }));
}

std::map<std::string, std::vector<std::string>> Graph::get_topic_names() const {
  std::map<std::string, std::vector<std::string>> names;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& entry : topics_) {
    bool alive = false;
    for (const auto& p : entry.second.publishers) {
      alive = alive || !p.expired();
    }
    for (const auto& s : entry.second.subscriptions) {
      alive = alive || !s.expired();
    }
    if (alive) {
      names[entry.first];
    }
  }
  return names;
}

void Graph::add_endpoint(const std::string& kind, const std::string& name, std::type_index type,
                         const std::shared_ptr<void>& object) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& list = endpoints_[kind + " " + name];
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const Endpoint& e) { return e.object.expired(); }),
               list.end());
    list.push_back(Endpoint{type, object, object.get()});
    ++generation_;
  }
  cv_.notify_all();
}

void Graph::remove_endpoint(const std::string& kind, const std::string& name, const void* object) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = endpoints_.find(kind + " " + name);
    if (it != endpoints_.end()) {
      auto& list = it->second;
      list.erase(std::remove_if(
                     list.begin(), list.end(),
                     [object](const Endpoint& e) { return e.key == object || e.object.expired(); }),
                 list.end());
    }
    ++generation_;
  }
  cv_.notify_all();
}

std::vector<std::shared_ptr<void>> Graph::find_endpoints(const std::string& kind,
                                                         const std::string& name,
                                                         std::type_index type) const {
  std::vector<std::shared_ptr<void>> found;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = endpoints_.find(kind + " " + name);
  if (it == endpoints_.end()) {
    return found;
  }
  for (const auto& endpoint : it->second) {
    if (endpoint.type != type) {
      continue;
    }
    if (auto object = endpoint.object.lock()) {
      found.push_back(std::move(object));
    }
  }
  return found;
}

bool Graph::wait_for(const std::function<bool()>& ready, std::chrono::nanoseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    const uint64_t seen = generation_;
    lock.unlock();
    if (ready()) {
      return true;
    }
    lock.lock();
    if (generation_ != seen) {
      continue;
    }
    if (timeout < std::chrono::nanoseconds::zero()) {
      cv_.wait(lock);
    } else if (cv_.wait_until(lock, deadline) == std::cv_status::timeout) {
      lock.unlock();
      return ready();
    }
  }
}

void Graph::wake() const {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
  }
  cv_.notify_all();
}

}  // namespace detail
}  // namespace rclcpp
