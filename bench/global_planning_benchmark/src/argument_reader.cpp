#include "global_planning_benchmark/argument_reader.hpp"

#include <fmt/format.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace global_planning_benchmark {

namespace {

bool readInteger(const std::string& text, long long lowest, long long highest, long long& value) {
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  const long long read = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size() || read < lowest || read > highest) {
    return false;
  }
  value = read;
  return true;
}

}  // namespace

bool ArgumentReader::readReal(const std::string& text, double& value) {
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  const double read = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(read)) {
    return false;
  }
  value = read;
  return true;
}

std::string ArgumentReader::text(const std::string& flag) {
  if (next_ >= args_.size() || args_[next_].empty()) {
    fail(flag + " needs a value");
    return {};
  }
  return args_[next_++];
}

long long ArgumentReader::integer(const std::string& flag, long long lowest, long long highest) {
  const std::string value = text(flag);
  long long read = 0;
  if (!failed() && !readInteger(value, lowest, highest, read)) {
    fail(flag + " needs a whole number from " + std::to_string(lowest) + " to " +
         std::to_string(highest) + ", not '" + value + "'");
  }
  return read;
}

double ArgumentReader::real(const std::string& flag, double lowest) {
  const std::string value = text(flag);
  double read = 0.0;
  if (!failed() && (!readReal(value, read) || read < lowest)) {
    fail(fmt::format("{} needs a finite number of at least {}, not '{}'", flag, lowest, value));
  }
  return read;
}

void ArgumentReader::fail(const std::string& error) {
  if (error_.empty()) {
    error_ = error;
  }
}

}  // namespace global_planning_benchmark
