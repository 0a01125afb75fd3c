#ifndef LOCAL_PLANNING__PATH_PRODUCT__LOG_LINES_HPP_
#define LOCAL_PLANNING__PATH_PRODUCT__LOG_LINES_HPP_

#include <string>

#include "foundation/log_capture.hpp"

namespace path_product_test {

// Whether a captured line ends with `tail` (level tag and text, after the number).
inline bool logged(foundation_test::CaptureSink& sink, const std::string& tail) {
  for (const auto& text : sink.texts()) {
    if (text.size() >= tail.size() &&
        text.compare(text.size() - tail.size(), tail.size(), tail) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace path_product_test

#endif  // LOCAL_PLANNING__PATH_PRODUCT__LOG_LINES_HPP_
