#pragma once

namespace glimmet {

enum class OverlayMode { collapsed, expanded, settings };

// `macBookPhysical`: the capsule wraps a physical camera housing; `externalVirtual`: the capsule
// is itself the notch.
enum class DisplayKind { macBookPhysical, externalVirtual };

const char* rawValue(OverlayMode mode);
const char* rawValue(DisplayKind kind);

}  // namespace glimmet
