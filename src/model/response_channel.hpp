#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

#include "base/time.hpp"

namespace glimmet {

// How a response to a message travels back to its agent.
struct ResponseChannel {
  enum class Kind {
    decisionFile,
    decisionCommand,
    responseFile,
    responseCommand,
    localSocket,
    appServer,
    none
  };
  Kind kind = Kind::none;
  std::string path;          // decisionFile, responseFile, localSocket
  std::string command;       // decisionCommand, responseCommand
  std::string protocolName;  // localSocket
  std::string baseURL;       // appServer
  std::string endpoint;      // appServer

  static ResponseChannel decisionFile(std::string path);
  static ResponseChannel decisionCommand(std::string command);
  static ResponseChannel responseFile(std::string path);
  static ResponseChannel responseCommand(std::string command);
  static ResponseChannel localSocket(std::string path, std::string protocolName);
  static ResponseChannel appServer(std::string baseURL, std::string endpoint);

  bool isFileChannel() const { return kind == Kind::decisionFile || kind == Kind::responseFile; }
  bool operator==(const ResponseChannel&) const = default;
};

const char* kindName(ResponseChannel::Kind kind);

enum class ResponseReceiptAction { approve, reject, chooseOption, sendInput, ignore };
enum class ResponseReceiptStatus { submitted, accepted, applied, failed, timedOut };

const char* rawValue(ResponseReceiptAction action);
const char* rawValue(ResponseReceiptStatus status);
std::optional<ResponseReceiptAction> responseReceiptActionFromRaw(const std::string& raw);
std::optional<ResponseReceiptStatus> responseReceiptStatusFromRaw(const std::string& raw);

struct ResponseReceipt {
  std::string eventID;
  ResponseReceiptAction action = ResponseReceiptAction::ignore;
  ResponseReceiptStatus status = ResponseReceiptStatus::submitted;
  std::optional<std::string> receivedAt;
  std::optional<std::string> sourceEventID;
  std::optional<std::string> error;
  bool operator==(const ResponseReceipt&) const = default;
};

// The latest receipt per event id, in memory.
class ResponseReceiptStore {
 public:
  void record(const ResponseReceipt& receipt) { receiptsByEventID_[receipt.eventID] = receipt; }
  std::optional<ResponseReceipt> latestReceipt(const std::string& eventID) const;
  const std::map<std::string, ResponseReceipt>& receiptsByEventID() const {
    return receiptsByEventID_;
  }

  // When the notice `noticeID` was first shown, `now` the first time it is asked for. A receipt
  // without a time of its own keeps this one, so every reload does not make it new again.
  Timestamp noticeFirstSeen(const std::string& noticeID, Timestamp now) {
    return noticeFirstSeen_.try_emplace(noticeID, now).first->second;
  }
  // Forgets the notices that are no longer shown, so the times do not pile up.
  void keepNoticeTimesOnly(const std::set<std::string>& noticeIDs) {
    std::erase_if(noticeFirstSeen_,
                  [&](const auto& entry) { return !noticeIDs.contains(entry.first); });
  }

 private:
  std::map<std::string, ResponseReceipt> receiptsByEventID_;
  std::map<std::string, Timestamp> noticeFirstSeen_;
};

}  // namespace glimmet
