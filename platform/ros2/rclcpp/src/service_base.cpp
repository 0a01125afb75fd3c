#include "rclcpp/service_base.hpp"

#include "rclcpp/client.hpp"
#include "rclcpp/detail/graph.hpp"

namespace rclcpp {

ServiceBase::ServiceBase(const std::string& service_name, std::type_index service_type)
    : graph_(detail::Graph::shared_instance()),
      service_name_(service_name),
      service_type_(service_type) {}

ServiceBase::~ServiceBase() { graph_->remove_endpoint("service", service_name_, this); }

const char* ServiceBase::get_service_name() { return service_name_.c_str(); }

void ServiceBase::join_graph() {
  detail::Graph::instance().add_endpoint("service", service_name_, service_type_,
                                         std::static_pointer_cast<void>(shared_from_this()));
}

ServiceBase::ReplyKey ServiceBase::key_of(const rmw_request_id_t& header) {
  return {
      std::string(reinterpret_cast<const char*>(header.writer_guid), sizeof(header.writer_guid)),
      header.sequence_number};
}

void ServiceBase::enqueue_request(const rmw_request_id_t& header, std::shared_ptr<void> request,
                                  std::weak_ptr<ClientBase> client) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(Pending{header, std::move(request)});
    reply_to_[key_of(header)] = std::move(client);
  }
  notify_ready();
}

std::function<void()> ServiceBase::take_ready_work() {
  Pending pending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (requests_.empty()) {
      return {};
    }
    pending = std::move(requests_.front());
    requests_.pop_front();
  }
  auto header = std::make_shared<rmw_request_id_t>(pending.header);
  return [self = shared_from_this(), header, request = std::move(pending.request)]() {
    self->handle_request(header, request);
  };
}

bool ServiceBase::send_response_to_client(const rmw_request_id_t& header,
                                          std::shared_ptr<void> response) {
  std::shared_ptr<ClientBase> client;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = reply_to_.find(key_of(header));
    if (it == reply_to_.end()) {
      return false;
    }
    client = it->second.lock();
    reply_to_.erase(it);
  }
  // A client that went away before the answer misses it, as it would on a
  // network; the service is not to blame.
  if (client) {
    client->enqueue_response(header.sequence_number, std::move(response));
  }
  return true;
}

bool ServiceBase::has_ready_work() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !requests_.empty();
}

}  // namespace rclcpp
