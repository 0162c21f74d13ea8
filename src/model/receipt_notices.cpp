#include "model/receipt_notices.hpp"

#include <set>

namespace glimmet {

namespace {

std::string responseFailedNoticeID(const ResponseReceipt& receipt) {
  return "receipt-failed-" + receipt.eventID + "-" + receipt.sourceEventID.value_or("local");
}

}  // namespace

GlimmetEvent responseFailedNotice(const ResponseReceipt& receipt, Timestamp now,
                                  const EventParseContext& context) {
  Json object = {
      {"event_id", responseFailedNoticeID(receipt)},
      {"source", "glimmet"},
      {"event_type", "integration_notice"},
      {"severity", "warning"},
      {"title", "Response failed"},
      {"message",
       receipt.error.value_or("The adapter reported that a response could not be applied.")},
      {"timestamp", receipt.receivedAt.value_or(formatIso8601(now))},
      {"task_key", "receipt-failed-" + receipt.eventID},
  };
  // The keys above always include a string event_id, so parsing cannot fail.
  return *parseGlimmetEvent(object, context);
}

std::vector<GlimmetEvent> ingestResponseReceipts(const std::vector<GlimmetEvent>& events,
                                                 ResponseReceiptStore& receipts, Timestamp now,
                                                 const EventParseContext& context) {
  std::vector<GlimmetEvent> notices;
  std::set<std::string> noticeIDs;
  for (const auto& event : events) {
    if (!event.responseReceipt) continue;
    receipts.record(*event.responseReceipt);
  }
  for (const auto& event : events) {
    if (!event.responseReceipt) continue;
    const auto& receipt = *event.responseReceipt;
    if (receipt.action != ResponseReceiptAction::chooseOption ||
        receipt.status != ResponseReceiptStatus::failed) {
      continue;
    }
    const std::string id = responseFailedNoticeID(receipt);
    if (!noticeIDs.insert(id).second) continue;
    notices.push_back(responseFailedNotice(receipt, receipts.noticeFirstSeen(id, now), context));
  }
  receipts.keepNoticeTimesOnly(noticeIDs);
  return notices;
}

}  // namespace glimmet
