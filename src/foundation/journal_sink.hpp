#ifndef FOUNDATION__JOURNAL_SINK_HPP_
#define FOUNDATION__JOURNAL_SINK_HPP_

#include <spdlog/common.h>

namespace vantrell {

// The systemd journal sink lives in its own translation unit: the journal header
// pulls in <syslog.h>, whose LOG_DEBUG, LOG_INFO... constants would collide with
// the logging macros of this library.
spdlog::sink_ptr makeJournalSink();

}  // namespace vantrell

#endif  // FOUNDATION__JOURNAL_SINK_HPP_
