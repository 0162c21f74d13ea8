// Glimmet plugin for OpenCode: appends session usage snapshots to Glimmet's
// local event file. OpenCode loads it in-process, so it uses nothing beyond
// Node's own fs, path and os modules and never spawns a bridge process.
import fs from "node:fs";
import path from "node:path";
import os from "node:os";

function eventFilePath() {
  const override = (process.env.GLIMMET_EVENT_FILE || "").trim();
  if (override) {
    return override === "~" || override.startsWith("~/")
      ? path.join(os.homedir(), override.slice(1))
      : override;
  }
  if (process.platform === "darwin") {
    return path.join(os.homedir(), "Library", "Application Support", "Glimmet", "events.jsonl");
  }
  const dataHome = (process.env.XDG_DATA_HOME || "").trim() || path.join(os.homedir(), ".local", "share");
  return path.join(dataHome, "Glimmet", "events.jsonl");
}

function isNumber(value) {
  return typeof value === "number" && Number.isFinite(value);
}

function projectName(cwd) {
  const name = path.basename(String(cwd).replace(/\/+$/, ""));
  return name || "Workspace";
}

function withoutAbsent(object) {
  const result = {};
  for (const [key, value] of Object.entries(object)) {
    if (value !== undefined && value !== null) result[key] = value;
  }
  return result;
}

function usageFor(info) {
  const tokens = info.tokens && typeof info.tokens === "object" ? info.tokens : null;
  const hasCost = isNumber(info.cost);
  if (!tokens && !hasCost) return null;
  const updated = info.time && isNumber(info.time.updated) ? info.time.updated : null;
  const cache = tokens && tokens.cache && typeof tokens.cache === "object" ? tokens.cache : {};
  const counts = {
    input_tokens: tokens && isNumber(tokens.input) ? tokens.input : undefined,
    output_tokens: tokens && isNumber(tokens.output) ? tokens.output : undefined,
    reasoning_tokens: tokens && isNumber(tokens.reasoning) ? tokens.reasoning : undefined,
    cache_read_tokens: isNumber(cache.read) ? cache.read : undefined,
    cache_write_tokens: isNumber(cache.write) ? cache.write : undefined,
  };
  let total = tokens && isNumber(tokens.total) ? tokens.total : undefined;
  if (total === undefined) {
    const present = Object.values(counts).filter((value) => value !== undefined);
    if (present.length > 0) total = present.reduce((sum, value) => sum + value, 0);
  }
  const model = info.model && typeof info.model === "object" ? info.model : {};
  return withoutAbsent({
    data_source: "opencode-plugin",
    tool_id: "opencode-cli",
    observed_at: new Date(updated !== null ? updated : Date.now()).toISOString(),
    ...counts,
    total_tokens: total,
    cost_amount: hasCost ? info.cost : undefined,
    cost_currency: hasCost ? "USD" : undefined,
    model: model.id ?? info.modelID,
    provider: model.providerID ?? info.providerID,
  });
}

export const GlimmetPlugin = async ({ directory } = {}) => {
  return {
    event: async ({ event }) => {
      if (!event || event.type !== "session.updated") return;
      const properties = event.properties && typeof event.properties === "object" ? event.properties : {};
      const info = properties.info && typeof properties.info === "object" ? properties.info : {};
      const usage = usageFor(info);
      if (!usage) return;
      const updated = info.time && isNumber(info.time.updated) ? info.time.updated : null;
      const sessionId = properties.sessionID || info.id || null;
      const cwd = info.directory || directory || process.cwd();
      const line = withoutAbsent({
        event_id: `opencode-${sessionId || "session"}-${updated !== null ? updated : Date.now()}`,
        source: "opencode-cli",
        source_type: "cli_agent",
        project: projectName(cwd),
        cwd,
        event_type: "task_updated",
        severity: "info",
        title: "OpenCode usage updated",
        message: "OpenCode session usage snapshot.",
        status: "usage",
        notify_policy: "usage_only",
        timestamp: usage.observed_at,
        session_id: sessionId,
        raw_event_name: event.type,
        usage,
      });
      const file = eventFilePath();
      await fs.promises.mkdir(path.dirname(file), { recursive: true, mode: 0o700 });
      // One append of the whole line: concurrent writers never interleave. Created for the
      // user alone: the file records what agents did.
      await fs.promises.appendFile(file, JSON.stringify(line) + "\n", { encoding: "utf8", mode: 0o600 });
    },
  };
};
