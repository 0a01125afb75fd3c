#ifndef TF2__EXCEPTIONS_H_
#define TF2__EXCEPTIONS_H_

#include <stdexcept>
#include <string>

namespace tf2 {

// Base of every error a transform lookup reports.
class TransformException : public std::runtime_error {
 public:
  explicit TransformException(const std::string& error_description)
      : std::runtime_error(error_description) {}
};

// The two frames are in trees that no transform joins.
class ConnectivityException : public TransformException {
 public:
  explicit ConnectivityException(const std::string& error_description)
      : TransformException(error_description) {}
};

// A frame is unknown, or the frames form a loop.
class LookupException : public TransformException {
 public:
  explicit LookupException(const std::string& error_description)
      : TransformException(error_description) {}
};

// The requested time lies outside the transforms held for a frame.
class ExtrapolationException : public TransformException {
 public:
  explicit ExtrapolationException(const std::string& error_description)
      : TransformException(error_description) {}
};

// A malformed argument, such as an empty frame id.
class InvalidArgumentException : public TransformException {
 public:
  explicit InvalidArgumentException(const std::string& error_description)
      : TransformException(error_description) {}
};

// No transform arrived within the timeout of a lookup.
class TimeoutException : public TransformException {
 public:
  explicit TimeoutException(const std::string& error_description)
      : TransformException(error_description) {}
};

}  // namespace tf2

#endif  // TF2__EXCEPTIONS_H_
