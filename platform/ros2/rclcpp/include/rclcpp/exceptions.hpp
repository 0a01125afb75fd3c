#ifndef RCLCPP__EXCEPTIONS_HPP_
#define RCLCPP__EXCEPTIONS_HPP_

#include "rclcpp/exceptions/exceptions.hpp"

#endif  // RCLCPP__EXCEPTIONS_HPP_
