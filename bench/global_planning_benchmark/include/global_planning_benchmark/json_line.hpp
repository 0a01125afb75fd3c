#ifndef GLOBAL_PLANNING_BENCHMARK__JSON_LINE_HPP_
#define GLOBAL_PLANNING_BENCHMARK__JSON_LINE_HPP_

#include <cstdint>
#include <string>

namespace global_planning_benchmark {

/// One flat JSON object on one line, fields in the order they are added. Keys are the caller's
/// plain identifiers; text values are escaped.
class JsonLine {
 public:
  JsonLine& integer(const std::string& key, int64_t value);
  /// Fixed-point with `decimals` digits; NaN and infinities become null (JSON has neither).
  JsonLine& number(const std::string& key, double value, int decimals);
  JsonLine& flag(const std::string& key, bool value);
  JsonLine& text(const std::string& key, const std::string& value);
  /// A cell as the array [x, y].
  JsonLine& cell(const std::string& key, int64_t x, int64_t y);

  std::string str() const { return "{" + body_ + "}"; }

 private:
  void field(const std::string& key, const std::string& value);

  std::string body_;
};

}  // namespace global_planning_benchmark

#endif  // GLOBAL_PLANNING_BENCHMARK__JSON_LINE_HPP_
