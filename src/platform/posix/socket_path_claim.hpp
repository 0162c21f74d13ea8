#pragma once

// Claiming the socket path at start-up and giving it back at exit, without ever taking it from
// another running instance or deleting something that is not a socket.

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/posix/unique_fd.hpp"
#include "platform/socket_server.hpp"

namespace glimmet {

// What start() ran into; `failure` is none when the path may be used.
struct SocketPathVerdict {
  SocketStartFailure failure = SocketStartFailure::none;
  std::string message;
};

// Which file the server bound, so that exit removes that one and not a successor's.
struct SocketFileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
};

// Creates the missing directories above the socket, each 0700: whoever can enter them can
// reach the approval channel. The socket's own directory must then be a real directory of the
// user that no one else can write, or the path is refused.
SocketPathVerdict prepareSocketDirectory(const std::string& socketPath);

// Takes the lock beside the socket ("<socket>.lock", never removed) for as long as the server
// runs. Only its holder claims, binds and listens, so two instances starting in the same
// moment cannot both decide that the path is free; the second is told the first is running.
// Without a writable directory there is no lock, and bind then reports the real problem.
SocketPathVerdict lockSocketPath(const std::string& socketPath, UniqueFd& lock);

// Called after bind found the path taken. A socket that a live process accepts on belongs to
// another instance; one that refuses connections is left over from a crash and is removed;
// anything else is left alone and reported.
SocketPathVerdict claimTakenSocketPath(const std::string& socketPath);

// The file now at the path, if any.
std::optional<SocketFileIdentity> socketFileIdentity(const std::string& socketPath);

// Removes the socket file only if it is still the one this server bound.
void removeOwnSocketFile(const std::string& socketPath, const SocketFileIdentity& bound);

}  // namespace glimmet
