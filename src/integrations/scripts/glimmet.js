// Glimmet plugin for OpenCode: appends session usage snapshots to Glimmet's
// local event file. OpenCode loads it in-process, so it uses nothing beyond
// Node's own fs, path and os modules and never spawns a bridge process.
// Writes are synchronous: a headless `opencode run` exits as soon as its last
// event is handed out, and anything left for later would be lost with it.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

// A long-lived OpenCode server sees many sessions; the oldest are forgotten first.
const REMEMBERED_SESSIONS = 1000;

function eventFileOverride() {
  const override = (process.env.GLIMMET_EVENT_FILE || '').trim();
  if (!override) return null;
  return override === '~' || override.startsWith('~/') ?
      path.join(os.homedir(), override.slice(1)) :
      override;
}

function defaultAppDirectory() {
  if (process.platform === 'darwin') {
    return path.join(os.homedir(), 'Library', 'Application Support', 'Glimmet');
  }
  // Only absolute XDG paths count; a relative one would follow whatever directory OpenCode runs in.
  const dataHome = (process.env.XDG_DATA_HOME || '').trim();
  return path.join(
      dataHome.startsWith('/') ? dataHome : path.join(os.homedir(), '.local', 'share'), 'Glimmet');
}

function eventFilePath() {
  return eventFileOverride() ?? path.join(defaultAppDirectory(), 'events.jsonl');
}

// The error log sits next to the event file, wherever that was moved to.
function appDirectory() {
  const override = eventFileOverride();
  return override ? path.dirname(path.resolve(override)) : defaultAppDirectory();
}

const APPEND_FLAGS = fs.constants.O_WRONLY | fs.constants.O_APPEND | fs.constants.O_CREAT |
    (fs.constants.O_NOFOLLOW ?? 0);

function isSymbolicLink(file) {
  try {
    return fs.lstatSync(file).isSymbolicLink();
  } catch {
    return false;
  }
}

// One write() on an O_APPEND descriptor: concurrent writers each land a whole line at the
// current end of file, so lines never interleave. Only the user may read what agents did; a
// link is not followed, and a file someone else owns is not written, so a planted link
// cannot redirect it.
function appendLine(file, text) {
  const data = Buffer.from(text, 'utf8');
  let fd;
  try {
    fd = fs.openSync(file, APPEND_FLAGS, 0o600);
  } catch (error) {
    if (isSymbolicLink(file)) throw new Error(`${file} is a symbolic link; nothing written`);
    throw error;
  }
  try {
    if (typeof process.geteuid === 'function' && fs.fstatSync(fd).uid !== process.geteuid()) {
      throw new Error(`${file} belongs to another user; nothing written`);
    }
    let written = fs.writeSync(fd, data);
    while (written < data.length) written += fs.writeSync(fd, data, written);
  } finally {
    fs.closeSync(fd);
  }
}

// OpenCode's terminal belongs to the user: failures go to Glimmet's own log, and when even
// that cannot be written they are dropped.
function logError(error) {
  try {
    const text = error instanceof Error ? `${error.name}: ${error.message}` : String(error);
    const directory = appDirectory();
    fs.mkdirSync(directory, {recursive: true, mode: 0o700});
    appendLine(
        path.join(directory, 'hook-errors.log'),
        `${new Date().toISOString()} ${text.split(/\s+/).join(' ').trim()}\n`);
  } catch {
    // Nowhere left to tell.
  }
}

function writeEvent(line) {
  const file = eventFilePath();
  fs.mkdirSync(path.dirname(path.resolve(file)), {recursive: true, mode: 0o700});
  appendLine(file, JSON.stringify(line) + '\n');
}

function isNumber(value) { return typeof value === 'number' && Number.isFinite(value); }

function projectName(cwd) {
  const name = path.basename(String(cwd).replace(/\/+$/, ''));
  return name || 'Workspace';
}

function withoutAbsent(object) {
  const result = {};
  for (const [key, value] of Object.entries(object)) {
    if (value !== undefined && value !== null) result[key] = value;
  }
  return result;
}

function usageFor(info) {
  const tokens = info.tokens && typeof info.tokens === 'object' ? info.tokens : null;
  const hasCost = isNumber(info.cost);
  if (!tokens && !hasCost) return null;
  const updated = info.time && isNumber(info.time.updated) ? info.time.updated : null;
  const cache = tokens && tokens.cache && typeof tokens.cache === 'object' ? tokens.cache : {};
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
  const model = info.model && typeof info.model === 'object' ? info.model : {};
  return withoutAbsent({
    data_source: 'opencode-plugin',
    tool_id: 'opencode-cli',
    observed_at: new Date(updated !== null ? updated : Date.now()).toISOString(),
    ...counts,
    total_tokens: total,
    cost_amount: hasCost ? info.cost : undefined,
    cost_currency: hasCost ? 'USD' : undefined,
    model: model.id ?? info.modelID,
    provider: model.providerID ?? info.providerID,
  });
}

const FIGURES = [
  'input_tokens',
  'output_tokens',
  'reasoning_tokens',
  'cache_read_tokens',
  'cache_write_tokens',
  'total_tokens',
  'cost_amount',
];

// The figures that make a snapshot worth a line; absent ones count as zero.
function figuresOf(usage) { return FIGURES.map((key) => usage[key] ?? 0); }

function handle(event, directory, lastFigures) {
  if (!event || event.type !== 'session.updated') return;
  const properties =
      event.properties && typeof event.properties === 'object' ? event.properties : {};
  const info = properties.info && typeof properties.info === 'object' ? properties.info : {};
  const usage = usageFor(info);
  if (!usage) return;
  // OpenCode announces a session several times before its first reply and again on every
  // title or status change; empty and unchanged snapshots would crowd the short usage history.
  const figures = figuresOf(usage);
  if (figures.every((value) => value === 0)) return;
  const updated = info.time && isNumber(info.time.updated) ? info.time.updated : null;
  const sessionId = properties.sessionID || info.id || null;
  const sessionKey = sessionId || '';
  const key = figures.join(',');
  if (lastFigures.get(sessionKey) === key) return;
  const cwd = info.directory || directory || process.cwd();
  writeEvent(
      withoutAbsent({
        event_id: `opencode-${sessionId || 'session'}-${updated !== null ? updated : Date.now()}`,
        source: 'opencode-cli',
        source_type: 'cli_agent',
        project: projectName(cwd),
        cwd,
        event_type: 'task_updated',
        severity: 'info',
        title: 'OpenCode usage updated',
        message: 'OpenCode session usage snapshot.',
        status: 'usage',
        notify_policy: 'usage_only',
        timestamp: usage.observed_at,
        session_id: sessionId,
        raw_event_name: event.type,
        usage,
      }),
  );
  // Remembered only once written, so a snapshot that failed is tried again next time.
  lastFigures.delete(sessionKey);
  lastFigures.set(sessionKey, key);
  if (lastFigures.size > REMEMBERED_SESSIONS) lastFigures.delete(lastFigures.keys().next().value);
}

export const GlimmetPlugin = async ({directory} = {}) => {
  const lastFigures = new Map();
  return {
    // Nothing here is awaited, so the line is on disk before the handler returns.
    event: async (input) => {
      try {
        handle(input && input.event, directory, lastFigures);
      } catch (error) {
        logError(error);
      }
    },
  };
};
