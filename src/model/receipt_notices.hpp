#pragma once

#include <vector>

#include "model/glimmet_event.hpp"

namespace glimmet {

// The inbox notice shown when an adapter reports that a chosen option could not be applied;
// `now` stands in for a receipt that names no time.
GlimmetEvent responseFailedNotice(const ResponseReceipt& receipt, Timestamp now,
                                  const EventParseContext& context);

// Records every receipt the events carry and returns one notice per failed option choice; a
// notice whose receipt names no time keeps the time it was first returned.
std::vector<GlimmetEvent> ingestResponseReceipts(const std::vector<GlimmetEvent>& events,
                                                 ResponseReceiptStore& receipts, Timestamp now,
                                                 const EventParseContext& context);

}  // namespace glimmet
