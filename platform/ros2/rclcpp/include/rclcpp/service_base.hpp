#ifndef RCLCPP__SERVICE_BASE_HPP_
#define RCLCPP__SERVICE_BASE_HPP_

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <utility>

#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/macros.hpp"
#include "rmw/types.h"

namespace rclcpp {

namespace detail {
class Graph;
}  // namespace detail

class ClientBase;

// The type-independent half of a service: the queue of requests that clients
// sent, served one per callback call by the executor of its group, and the
// way back to each request's client.
class ServiceBase : public detail::ExecutableEntity,
                    public std::enable_shared_from_this<ServiceBase> {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(ServiceBase)

  ServiceBase(const std::string& service_name, std::type_index service_type);
  ~ServiceBase() override;
  ServiceBase(const ServiceBase&) = delete;
  ServiceBase& operator=(const ServiceBase&) = delete;

  const char* get_service_name();

  // Machinery for clients and executors.
  void join_graph();
  void enqueue_request(const rmw_request_id_t& header, std::shared_ptr<void> request,
                       std::weak_ptr<ClientBase> client);
  std::function<void()> take_ready_work() override;
  bool has_ready_work() override;

 protected:
  virtual void handle_request(std::shared_ptr<rmw_request_id_t> header,
                              std::shared_ptr<void> request) = 0;
  // Hands the response to the client that sent the request, if it is still
  // there; false when the request is unknown (answered already).
  bool send_response_to_client(const rmw_request_id_t& header, std::shared_ptr<void> response);

 private:
  struct Pending {
    rmw_request_id_t header;
    std::shared_ptr<void> request;
  };
  using ReplyKey = std::pair<std::string, int64_t>;
  static ReplyKey key_of(const rmw_request_id_t& header);

  // The registry it joined, held so that it is still there when this goes (at exit, too).
  const std::shared_ptr<detail::Graph> graph_;
  const std::string service_name_;
  const std::type_index service_type_;
  std::mutex mutex_;
  std::deque<Pending> requests_;
  std::map<ReplyKey, std::weak_ptr<ClientBase>> reply_to_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SERVICE_BASE_HPP_
