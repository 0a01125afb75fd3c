#ifndef RCLCPP__CLIENT_HPP_
#define RCLCPP__CLIENT_HPP_

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/macros.hpp"
#include "rmw/types.h"

namespace rclcpp {

namespace detail {

// A future of a service response together with the number of its request.
template <typename FutureT>
struct FutureAndRequestId {
  FutureT future;
  int64_t request_id;

  FutureAndRequestId(FutureT impl, int64_t req_id) : future(std::move(impl)), request_id(req_id) {}

  auto get() { return this->future.get(); }
  bool valid() const noexcept { return this->future.valid(); }
  void wait() const { return this->future.wait(); }
  template <class Rep, class Period>
  std::future_status wait_for(const std::chrono::duration<Rep, Period>& timeout_duration) const {
    return this->future.wait_for(timeout_duration);
  }
  template <class Clock, class Duration>
  std::future_status wait_until(
      const std::chrono::time_point<Clock, Duration>& timeout_time) const {
    return this->future.wait_until(timeout_time);
  }

  FutureAndRequestId(FutureAndRequestId&& other) noexcept = default;
  FutureAndRequestId& operator=(FutureAndRequestId&& other) noexcept = default;
  FutureAndRequestId(const FutureAndRequestId& other) = delete;
  FutureAndRequestId& operator=(const FutureAndRequestId& other) = delete;
  ~FutureAndRequestId() = default;
};

}  // namespace detail

// The type-independent half of a service client: sending requests to the
// service of its name, and the queue of responses that the executor of its
// group hands back to the waiting futures and callbacks.
class ClientBase : public detail::ExecutableEntity,
                   public std::enable_shared_from_this<ClientBase> {
 public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(ClientBase)

  ClientBase(const std::string& service_name, std::type_index service_type,
             Context::SharedPtr context);
  ~ClientBase() override;
  ClientBase(const ClientBase&) = delete;
  ClientBase& operator=(const ClientBase&) = delete;

  const char* get_service_name() const;
  bool service_is_ready() const;

  // Waits (in real time) until a service of this name and type exists.
  // False on timeout or when the context shuts down.
  template <typename RepT = int64_t, typename RatioT = std::milli>
  bool wait_for_service(
      std::chrono::duration<RepT, RatioT> timeout = std::chrono::duration<RepT, RatioT>(-1)) {
    return wait_for_service_nanoseconds(
        std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

  // Machinery for services and executors.
  void enqueue_response(int64_t sequence_number, std::shared_ptr<void> response);
  std::function<void()> take_ready_work() override;
  bool has_ready_work() override;

 protected:
  bool wait_for_service_nanoseconds(std::chrono::nanoseconds timeout);
  // Copies nothing: the caller hands over its own copy. Returns the request's
  // number; a request with no service to take it is lost, as on a network.
  int64_t send_request(std::shared_ptr<void> request);
  virtual void handle_response(int64_t sequence_number, std::shared_ptr<void> response) = 0;

 private:
  const std::string service_name_;
  const std::type_index service_type_;
  Context::WeakPtr context_;
  rmw_request_id_t identity_;
  std::atomic<int64_t> sequence_number_{0};
  std::mutex mutex_;
  std::deque<std::pair<int64_t, std::shared_ptr<void>>> responses_;
};

// Sends requests of one service type to the service of its name. Responses
// reach the futures and callbacks only while an executor spins the client's
// callback group, as in ROS 2.
template <typename ServiceT>
class Client : public ClientBase {
 public:
  using Request = typename ServiceT::Request;
  using Response = typename ServiceT::Response;
  using SharedRequest = typename ServiceT::Request::SharedPtr;
  using SharedResponse = typename ServiceT::Response::SharedPtr;

  using Promise = std::promise<SharedResponse>;
  using PromiseWithRequest = std::promise<std::pair<SharedRequest, SharedResponse>>;
  using SharedPromise = std::shared_ptr<Promise>;
  using SharedPromiseWithRequest = std::shared_ptr<PromiseWithRequest>;
  using Future = std::future<SharedResponse>;
  using SharedFuture = std::shared_future<SharedResponse>;
  using SharedFutureWithRequest = std::shared_future<std::pair<SharedRequest, SharedResponse>>;
  using CallbackType = std::function<void(SharedFuture)>;
  using CallbackWithRequestType = std::function<void(SharedFutureWithRequest)>;

  RCLCPP_SMART_PTR_DEFINITIONS(Client)

  struct FutureAndRequestId : detail::FutureAndRequestId<std::future<SharedResponse>> {
    using detail::FutureAndRequestId<std::future<SharedResponse>>::FutureAndRequestId;
    SharedFuture share() noexcept { return this->future.share(); }
  };
  struct SharedFutureAndRequestId : detail::FutureAndRequestId<std::shared_future<SharedResponse>> {
    using detail::FutureAndRequestId<std::shared_future<SharedResponse>>::FutureAndRequestId;
  };
  struct SharedFutureWithRequestAndRequestId
      : detail::FutureAndRequestId<std::shared_future<std::pair<SharedRequest, SharedResponse>>> {
    using detail::FutureAndRequestId<
        std::shared_future<std::pair<SharedRequest, SharedResponse>>>::FutureAndRequestId;
  };

  Client(const std::string& service_name, Context::SharedPtr context)
      : ClientBase(service_name, std::type_index(typeid(ServiceT)), context) {}

  FutureAndRequestId async_send_request(SharedRequest request) {
    Pending pending;
    auto future = pending.promise.get_future();
    const int64_t id = send_tracked(request, std::move(pending));
    return FutureAndRequestId(std::move(future), id);
  }

  template <typename CallbackT,
            typename std::enable_if_t<std::is_invocable_v<CallbackT&, SharedFuture>>* = nullptr>
  SharedFutureAndRequestId async_send_request(SharedRequest request, CallbackT&& cb) {
    Pending pending;
    auto future = pending.promise.get_future().share();
    pending.shared_future = future;
    pending.callback = CallbackType(std::forward<CallbackT>(cb));
    const int64_t id = send_tracked(request, std::move(pending));
    return SharedFutureAndRequestId(std::move(future), id);
  }

  template <typename CallbackT,
            typename std::enable_if_t<!std::is_invocable_v<CallbackT&, SharedFuture> &&
                                      std::is_invocable_v<CallbackT&, SharedFutureWithRequest>>* =
                nullptr>
  SharedFutureWithRequestAndRequestId async_send_request(SharedRequest request, CallbackT&& cb) {
    Pending pending;
    auto future = pending.promise_with_request.get_future().share();
    pending.shared_future_with_request = future;
    pending.with_request_callback = CallbackWithRequestType(std::forward<CallbackT>(cb));
    pending.request = request;
    const int64_t id = send_tracked(request, std::move(pending));
    return SharedFutureWithRequestAndRequestId(std::move(future), id);
  }

  bool remove_pending_request(int64_t request_id) {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    return pending_.erase(request_id) > 0;
  }

  size_t prune_pending_requests() {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    const size_t count = pending_.size();
    pending_.clear();
    return count;
  }

 protected:
  void handle_response(int64_t sequence_number, std::shared_ptr<void> response) override {
    std::optional<Pending> pending;
    {
      std::lock_guard<std::mutex> lock(pending_mutex_);
      auto it = pending_.find(sequence_number);
      if (it == pending_.end()) {
        return;  // pruned, or answered twice
      }
      pending.emplace(std::move(it->second));
      pending_.erase(it);
    }
    auto typed = std::static_pointer_cast<Response>(response);
    if (pending->with_request_callback) {
      pending->promise_with_request.set_value(std::make_pair(pending->request, typed));
      pending->with_request_callback(pending->shared_future_with_request);
      return;
    }
    pending->promise.set_value(typed);
    if (pending->callback) {
      pending->callback(pending->shared_future);
    }
  }

 private:
  struct Pending {
    Promise promise;
    SharedFuture shared_future;
    CallbackType callback;
    PromiseWithRequest promise_with_request;
    SharedFutureWithRequest shared_future_with_request;
    CallbackWithRequestType with_request_callback;
    SharedRequest request;
  };

  int64_t send_tracked(const SharedRequest& request, Pending pending) {
    // The service gets a copy of its own, as if the request crossed a wire.
    auto copy = std::make_shared<Request>(*request);
    std::lock_guard<std::mutex> lock(pending_mutex_);
    const int64_t id = send_request(copy);
    pending_.emplace(id, std::move(pending));
    return id;
  }

  std::mutex pending_mutex_;
  std::map<int64_t, Pending> pending_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CLIENT_HPP_
