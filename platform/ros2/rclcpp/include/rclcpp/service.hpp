#ifndef RCLCPP__SERVICE_HPP_
#define RCLCPP__SERVICE_HPP_

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <typeindex>
#include <utility>

#include "rclcpp/macros.hpp"
#include "rclcpp/service_base.hpp"
#include "rmw/types.h"

namespace rclcpp {

// Serves requests of one service type under one name. The callback takes
// (request, response), or (request header, request, response), or, to answer
// later through `send_response`, (request header, request).
template <typename ServiceT>
class Service : public ServiceBase {
 public:
  using SharedRequest = typename ServiceT::Request::SharedPtr;
  using SharedResponse = typename ServiceT::Response::SharedPtr;

  RCLCPP_SMART_PTR_DEFINITIONS(Service)

  template <typename CallbackT>
  Service(const std::string& service_name, CallbackT&& callback)
      : ServiceBase(service_name, std::type_index(typeid(ServiceT))),
        callback_(make_callback(std::forward<CallbackT>(callback))) {}

  void send_response(rmw_request_id_t& req_id, typename ServiceT::Response& response) {
    if (!send_response_to_client(req_id, std::make_shared<typename ServiceT::Response>(response))) {
      throw std::runtime_error("service response to an unknown or already answered request");
    }
  }

 protected:
  void handle_request(std::shared_ptr<rmw_request_id_t> header,
                      std::shared_ptr<void> request) override {
    auto typed = std::static_pointer_cast<typename ServiceT::Request>(request);
    SharedResponse response = callback_(header, typed);
    if (response) {
      send_response_to_client(*header, response);
    }
  }

 private:
  // Every form becomes: run, then give the response to send now (null when
  // the callback answers later).
  using Callback = std::function<SharedResponse(std::shared_ptr<rmw_request_id_t>, SharedRequest)>;

  template <typename CallbackT>
  static Callback make_callback(CallbackT&& callback) {
    using Cb = std::decay_t<CallbackT>;
    using Response = typename ServiceT::Response;
    if constexpr (std::is_invocable_v<Cb&, SharedRequest, SharedResponse>) {
      return [cb = Cb(std::forward<CallbackT>(callback))](std::shared_ptr<rmw_request_id_t>,
                                                          SharedRequest request) mutable {
        auto response = std::make_shared<Response>();
        cb(request, response);
        return response;
      };
    } else if constexpr (std::is_invocable_v<Cb&, std::shared_ptr<rmw_request_id_t>, SharedRequest,
                                             SharedResponse>) {
      return [cb = Cb(std::forward<CallbackT>(callback))](std::shared_ptr<rmw_request_id_t> header,
                                                          SharedRequest request) mutable {
        auto response = std::make_shared<Response>();
        cb(header, request, response);
        return response;
      };
    } else {
      static_assert(
          std::is_invocable_v<Cb&, std::shared_ptr<rmw_request_id_t>, SharedRequest>,
          "service callback must take (request, response), (header, request, response) or "
          "(header, request)");
      return [cb = Cb(std::forward<CallbackT>(callback))](std::shared_ptr<rmw_request_id_t> header,
                                                          SharedRequest request) mutable {
        cb(header, request);
        return SharedResponse();
      };
    }
  }

  Callback callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SERVICE_HPP_
