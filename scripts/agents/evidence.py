"""What a scenario looks at afterwards: the hook events in Glimmet's event file, the files the
agent wrote, and the hook configuration the installer left behind."""
import json
import os
import re


def event_names(event_file, source=None):
    """The hook events the bridges recorded, in file order; source narrows them to one agent
    ("claude" matches "claude-code" and "claude_code")."""
    names = []
    if not os.path.exists(event_file):
        return names
    with open(event_file, encoding="utf-8", errors="replace") as events:
        for line in events:
            try:
                record = json.loads(line)
            except ValueError:
                continue
            if not isinstance(record, dict):
                continue
            if source and source not in str(record.get("source", "")).lower():
                continue
            name = record.get("raw_event_name") or record.get("event_type")
            if name:
                names.append(str(name))
    return names


def missing(expected, seen):
    return [name for name in expected if name not in seen]


def file_text(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as handle:
            return handle.read()
    except FileNotFoundError:
        return None


def claude_permission_wait(settings_path, bridge_path):
    """How long Glimmet may hold a Claude Code tool call nobody answers: the approval bridge's
    own wait for a reply, cut short by the hook timeout when the installer set one."""
    waits = []
    bridge = file_text(bridge_path) or ""
    if found := re.search(r"^REPLY_TIMEOUT\s*=\s*([0-9.]+)", bridge, re.MULTILINE):
        waits.append(float(found.group(1)))
    try:
        with open(settings_path, encoding="utf-8") as handle:
            settings = json.load(handle)
    except (OSError, ValueError):
        settings = {}
    for group in (settings.get("hooks") or {}).get("PermissionRequest") or []:
        for hook in group.get("hooks") or []:
            timeout = hook.get("timeout")
            if "glimmet-hook-claude" in str(hook.get("command", "")) and isinstance(
                timeout, (int, float)
            ):
                waits.append(float(timeout))
    return min(waits) if waits else None


def codex_trust_entries(config_path):
    """The [hooks.state."<key>"] tables of Codex's config.toml that carry a trusted_hash."""
    text = file_text(config_path) or ""
    entries = []
    current = None
    for line in text.splitlines():
        table = re.match(r'^\s*\[hooks\.state\."(.+)"\]\s*$', line)
        if table:
            current = table.group(1)
            continue
        if line.strip().startswith("["):
            current = None
        elif current and re.match(r"^\s*trusted_hash\s*=", line):
            entries.append(current)
    return entries
