#include "model/response_channel.hpp"

namespace glimmet {

ResponseChannel ResponseChannel::decisionFile(std::string path) {
  ResponseChannel channel;
  channel.kind = Kind::decisionFile;
  channel.path = std::move(path);
  return channel;
}

ResponseChannel ResponseChannel::decisionCommand(std::string command) {
  ResponseChannel channel;
  channel.kind = Kind::decisionCommand;
  channel.command = std::move(command);
  return channel;
}

ResponseChannel ResponseChannel::responseFile(std::string path) {
  ResponseChannel channel;
  channel.kind = Kind::responseFile;
  channel.path = std::move(path);
  return channel;
}

ResponseChannel ResponseChannel::responseCommand(std::string command) {
  ResponseChannel channel;
  channel.kind = Kind::responseCommand;
  channel.command = std::move(command);
  return channel;
}

ResponseChannel ResponseChannel::localSocket(std::string path, std::string protocolName) {
  ResponseChannel channel;
  channel.kind = Kind::localSocket;
  channel.path = std::move(path);
  channel.protocolName = std::move(protocolName);
  return channel;
}

ResponseChannel ResponseChannel::appServer(std::string baseURL, std::string endpoint) {
  ResponseChannel channel;
  channel.kind = Kind::appServer;
  channel.baseURL = std::move(baseURL);
  channel.endpoint = std::move(endpoint);
  return channel;
}

const char* kindName(ResponseChannel::Kind kind) {
  switch (kind) {
    case ResponseChannel::Kind::decisionFile:
      return "decision_file";
    case ResponseChannel::Kind::decisionCommand:
      return "decision_command";
    case ResponseChannel::Kind::responseFile:
      return "response_file";
    case ResponseChannel::Kind::responseCommand:
      return "response_command";
    case ResponseChannel::Kind::localSocket:
      return "local_socket";
    case ResponseChannel::Kind::appServer:
      return "app_server";
    case ResponseChannel::Kind::none:
      return "none";
  }
  return "none";
}

const char* rawValue(ResponseReceiptAction action) {
  switch (action) {
    case ResponseReceiptAction::approve:
      return "approve";
    case ResponseReceiptAction::reject:
      return "reject";
    case ResponseReceiptAction::chooseOption:
      return "choose_option";
    case ResponseReceiptAction::sendInput:
      return "send_input";
    case ResponseReceiptAction::ignore:
      return "ignore";
  }
  return "ignore";
}

const char* rawValue(ResponseReceiptStatus status) {
  switch (status) {
    case ResponseReceiptStatus::submitted:
      return "submitted";
    case ResponseReceiptStatus::accepted:
      return "accepted";
    case ResponseReceiptStatus::applied:
      return "applied";
    case ResponseReceiptStatus::failed:
      return "failed";
    case ResponseReceiptStatus::timedOut:
      return "timed_out";
  }
  return "failed";
}

std::optional<ResponseReceiptAction> responseReceiptActionFromRaw(const std::string& raw) {
  for (auto action : {ResponseReceiptAction::approve, ResponseReceiptAction::reject,
                      ResponseReceiptAction::chooseOption, ResponseReceiptAction::sendInput,
                      ResponseReceiptAction::ignore}) {
    if (raw == rawValue(action)) return action;
  }
  return std::nullopt;
}

std::optional<ResponseReceiptStatus> responseReceiptStatusFromRaw(const std::string& raw) {
  for (auto status : {ResponseReceiptStatus::submitted, ResponseReceiptStatus::accepted,
                      ResponseReceiptStatus::applied, ResponseReceiptStatus::failed,
                      ResponseReceiptStatus::timedOut}) {
    if (raw == rawValue(status)) return status;
  }
  return std::nullopt;
}

std::optional<ResponseReceipt> ResponseReceiptStore::latestReceipt(
    const std::string& eventID) const {
  const auto found = receiptsByEventID_.find(eventID);
  if (found == receiptsByEventID_.end()) return std::nullopt;
  return found->second;
}

}  // namespace glimmet
