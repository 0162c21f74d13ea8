#include "model/agent_dialect.hpp"

namespace glimmet {

const AgentDialect* agentDialect(std::string_view agent) {
  for (const auto& dialect : kAgentDialects) {
    if (dialect.agent == agent) return &dialect;
  }
  return nullptr;
}

bool offersAlwaysAllow(std::string_view agent) {
  const AgentDialect* dialect = agentDialect(agent);
  return dialect && dialect->offersAlways;
}

}  // namespace glimmet
