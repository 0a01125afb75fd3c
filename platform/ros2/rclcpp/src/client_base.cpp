#include <cstring>

#include "rclcpp/client.hpp"
#include "rclcpp/detail/graph.hpp"
#include "rclcpp/service_base.hpp"

namespace rclcpp {

namespace {
std::atomic<uint64_t> g_next_client_id{1};
}  // namespace

ClientBase::ClientBase(const std::string& service_name, std::type_index service_type,
                       Context::SharedPtr context)
    : service_name_(service_name), service_type_(service_type), context_(context) {
  std::memset(&identity_, 0, sizeof(identity_));
  const uint64_t id = g_next_client_id.fetch_add(1);
  std::memcpy(identity_.writer_guid, &id, sizeof(id));
}

ClientBase::~ClientBase() = default;

const char* ClientBase::get_service_name() const { return service_name_.c_str(); }

bool ClientBase::service_is_ready() const {
  return !detail::Graph::instance().find_endpoints("service", service_name_, service_type_).empty();
}

bool ClientBase::wait_for_service_nanoseconds(std::chrono::nanoseconds timeout) {
  auto context = context_.lock();
  auto shut_down = [context]() { return context && !context->is_valid(); };
  if (shut_down()) {
    return false;
  }
  detail::Graph::instance().wait_for(
      [this, &shut_down]() { return shut_down() || service_is_ready(); }, timeout);
  return !shut_down() && service_is_ready();
}

int64_t ClientBase::send_request(std::shared_ptr<void> request) {
  rmw_request_id_t header = identity_;
  header.sequence_number = sequence_number_.fetch_add(1) + 1;
  auto services = detail::Graph::instance().find_endpoints("service", service_name_, service_type_);
  if (!services.empty()) {
    auto service = std::static_pointer_cast<ServiceBase>(services.front());
    service->enqueue_request(header, std::move(request), weak_from_this());
  }
  return header.sequence_number;
}

void ClientBase::enqueue_response(int64_t sequence_number, std::shared_ptr<void> response) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    responses_.emplace_back(sequence_number, std::move(response));
  }
  notify_ready();
}

std::function<void()> ClientBase::take_ready_work() {
  std::pair<int64_t, std::shared_ptr<void>> response;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (responses_.empty()) {
      return {};
    }
    response = std::move(responses_.front());
    responses_.pop_front();
  }
  return [self = shared_from_this(), response]() {
    self->handle_response(response.first, response.second);
  };
}

bool ClientBase::has_ready_work() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !responses_.empty();
}

}  // namespace rclcpp
