#ifndef TESTS__SUPPORT__DEBUG_LOG_LEVEL_HPP_
#define TESTS__SUPPORT__DEBUG_LOG_LEVEL_HPP_

#include <cstdlib>

// Included by the fixtures of every test program that reads DEBUG records (trace lines among
// them): the program sets the level it needs itself, before main and so before the process-wide
// logger is built on its first record, whichever way the program is started.
namespace test_support {

inline const bool kDebugLogLevel = [] {
  setenv("SPDLOG_LEVEL", "debug", 1);
  return true;
}();

}  // namespace test_support

#endif  // TESTS__SUPPORT__DEBUG_LOG_LEVEL_HPP_
