// Approval socket throughput from a separate client process: sequential round trips (connect,
// request, auto-allow handler, reply) and many concurrent connections each answered once.
// The client is forked before the loop runs and uses only system calls, so it measures the
// server, not an interpreter.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "approvals/agent_reply_marshaller.hpp"
#include "approvals/hook_socket_service.hpp"
#include "approvals/socket_frame_codec.hpp"

namespace glimmet {
namespace {

constexpr int kSequentialRequests = 2000;
constexpr int kConcurrentConnections = 1000;

std::string tempSocketPath() {
  char pattern[] = "/tmp/glimmet-bench-XXXXXX";
  const char* dir = ::mkdtemp(pattern);
  return std::string(dir ? dir : "/tmp") + "/glimmet.sock";
}

std::string requestFrame(int index) {
  HookRequest request;
  request.requestID = "bench-" + std::to_string(index);
  request.agent = "claude_code";
  request.sessionID = "session-" + std::to_string(index);  // no supersession between requests
  request.agentPID = static_cast<int32_t>(::getpid());
  request.kind = "permission_request";
  request.timeoutSeconds = 120;
  request.payload.command = "make test";
  return SocketFrameCodec::encode(request);
}

int64_t nowNanoseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int connectTo(const sockaddr_un& address) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The server side: an auto-allow handler on a real loop, counting what it answered.
struct BenchServer {
  MainLoop loop;
  std::string path = tempSocketPath();
  int handled = 0;
  HookSocketService server{
      loop, path, [this](HookRequest request, SocketReplyHandle handle) {
        ++handled;
        HookReply reply = storeReply(request.requestID, "allow");
        reply.rawAgentPayload = AgentReplyMarshaller::rawAgentPayload(
            request.agent, PendingActionKind::permissionRequest,
            UserDecision{UserDecision::Verb::allow, UserDecision::Mode::once, {}, {}});
        handle.send(reply);
      }};

  sockaddr_un address() const {
    sockaddr_un result{};
    result.sun_family = AF_UNIX;
    std::memcpy(result.sun_path, path.c_str(), path.size() + 1);
    return result;
  }

  // Runs the loop until the forked client exits; returns its exit status.
  int serveUntilExit(pid_t client) {
    int status = -1;
    bool exited = false;  // waitpid succeeds only once, and runUntil asks more than once
    WorkItem waker = loop.every(Seconds(0.005), Seconds(0), [] {});
    loop.runUntil(
        [&] {
          if (!exited) exited = ::waitpid(client, &status, WNOHANG) == client;
          return exited;
        },
        Seconds(120));
    return status;
  }
};

void BM_SequentialRoundTrip(benchmark::State& state) {
  for (auto _ : state) {
    BenchServer bench;
    if (!bench.server.start().ok()) {
      state.SkipWithError("socket server did not start");
      return;
    }
    std::vector<std::string> frames;
    for (int i = 0; i < kSequentialRequests; ++i) frames.push_back(requestFrame(i));
    std::vector<int64_t> latencies(kSequentialRequests, -1);
    int results[2];
    if (::pipe(results) != 0) return state.SkipWithError("pipe failed");
    const sockaddr_un address = bench.address();
    const pid_t client = ::fork();
    if (client == 0) {
      char reply[4096];
      for (int i = 0; i < kSequentialRequests; ++i) {
        const int64_t start = nowNanoseconds();
        const int fd = connectTo(address);
        if (fd < 0 || !writeAll(fd, frames[i])) ::_exit(2);
        size_t got = 0;
        while (got == 0 || reply[got - 1] != '\n') {
          const ssize_t n = ::read(fd, reply + got, sizeof(reply) - got);
          if (n <= 0) ::_exit(3);
          got += static_cast<size_t>(n);
        }
        ::close(fd);
        latencies[i] = nowNanoseconds() - start;
      }
      const auto bytes = latencies.size() * sizeof(int64_t);
      ssize_t written = ::write(results[1], latencies.data(), bytes);
      ::_exit(written == static_cast<ssize_t>(bytes) ? 0 : 4);
    }
    ::close(results[1]);
    const int status = bench.serveUntilExit(client);
    size_t got = 0;
    auto* bytes = reinterpret_cast<char*>(latencies.data());
    while (got < latencies.size() * sizeof(int64_t)) {
      const ssize_t n = ::read(results[0], bytes + got, latencies.size() * sizeof(int64_t) - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    ::close(results[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("client failed");
      return;
    }
    std::sort(latencies.begin(), latencies.end());
    const auto percentile = [&](double p) {
      return static_cast<double>(latencies[static_cast<size_t>(p * (latencies.size() - 1))]) / 1e3;
    };
    state.counters["requests"] = kSequentialRequests;
    state.counters["handled"] = bench.handled;
    state.counters["p50_us"] = percentile(0.50);
    state.counters["p99_us"] = percentile(0.99);
    state.counters["max_us"] = static_cast<double>(latencies.back()) / 1e3;
  }
}
BENCHMARK(BM_SequentialRoundTrip)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConcurrentConnections(benchmark::State& state) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
  for (auto _ : state) {
    BenchServer bench;
    if (!bench.server.start().ok()) return state.SkipWithError("socket server did not start");
    std::vector<std::string> frames;
    for (int i = 0; i < kConcurrentConnections; ++i) frames.push_back(requestFrame(i));
    // Per connection: reply lines seen; then the totals and the elapsed time.
    std::vector<int32_t> lines(kConcurrentConnections, 0);
    std::vector<int> fds(kConcurrentConnections, -1);
    std::vector<pollfd> polls(kConcurrentConnections);
    int results[2];
    if (::pipe(results) != 0) return state.SkipWithError("pipe failed");
    const sockaddr_un address = bench.address();
    const pid_t client = ::fork();
    if (client == 0) {
      const int64_t start = nowNanoseconds();
      // Every connection is open before any request is sent.
      for (int i = 0; i < kConcurrentConnections; ++i) {
        fds[i] = connectTo(address);
        if (fds[i] < 0) ::_exit(2);
      }
      for (int i = 0; i < kConcurrentConnections; ++i) {
        if (!writeAll(fds[i], frames[i])) ::_exit(3);
      }
      int answered = 0;
      int64_t allAnsweredAt = 0;
      char buffer[4096];
      // Read until every connection has its line, then 300 ms more to catch any second reply.
      int64_t quietUntil = start + 60LL * 1000000000;
      while (nowNanoseconds() < quietUntil) {
        for (int i = 0; i < kConcurrentConnections; ++i) polls[i] = {fds[i], POLLIN, 0};
        const int ready = ::poll(polls.data(), polls.size(), 50);
        for (int i = 0; ready > 0 && i < kConcurrentConnections; ++i) {
          if (!(polls[i].revents & (POLLIN | POLLHUP))) continue;
          const ssize_t n = ::read(fds[i], buffer, sizeof(buffer));
          if (n <= 0) {
            ::close(fds[i]);
            fds[i] = -1;
            continue;
          }
          for (ssize_t b = 0; b < n; ++b) {
            if (buffer[b] != '\n') continue;
            if (++lines[i] == 1 && ++answered == kConcurrentConnections) {
              allAnsweredAt = nowNanoseconds();
              quietUntil = allAnsweredAt + 300LL * 1000000;
            }
          }
        }
      }
      const int64_t elapsed = allAnsweredAt ? allAnsweredAt - start : -1;
      ssize_t ok = ::write(results[1], lines.data(), lines.size() * sizeof(int32_t));
      ok += ::write(results[1], &elapsed, sizeof(elapsed));
      ::_exit(ok > 0 ? 0 : 4);
    }
    ::close(results[1]);
    const int status = bench.serveUntilExit(client);
    std::vector<char> bytes(lines.size() * sizeof(int32_t) + sizeof(int64_t));
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(results[0], bytes.data() + got, bytes.size() - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    ::close(results[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || got != bytes.size()) {
      state.SkipWithError("client failed");
      return;
    }
    std::memcpy(lines.data(), bytes.data(), lines.size() * sizeof(int32_t));
    int64_t elapsed = 0;
    std::memcpy(&elapsed, bytes.data() + lines.size() * sizeof(int32_t), sizeof(elapsed));
    int once = 0, lost = 0, doubled = 0;
    for (const int32_t count : lines) {
      once += count == 1;
      lost += count == 0;
      doubled += count > 1;
    }
    state.counters["connections"] = kConcurrentConnections;
    state.counters["answered_once"] = once;
    state.counters["lost"] = lost;
    state.counters["doubled"] = doubled;
    state.counters["handled"] = bench.handled;
    state.counters["all_answered_ms"] = static_cast<double>(elapsed) / 1e6;
  }
}
BENCHMARK(BM_ConcurrentConnections)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace glimmet
