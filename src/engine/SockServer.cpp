#include "engine/SockServer.h"

#include <chrono>

#include "platform/Exceptions.h"
#include "platform/SocketError.h"

namespace tarnwick {

namespace {

// Accept failures that come from a shortage of descriptors or memory repeat at once; pause a little
// so that the accepting thread does not spin while the shortage lasts.
bool IsResourceShortage(int code) { return code == wsa::kTooManyOpenFiles || code == wsa::kNoBufferSpace; }

}  // namespace

TSockServer::TSockServer(TCorvanePrefs* counters) : Counters(counters), AcceptThread([this] { Execute(); }) {}

TSockServer::~TSockServer() { Terminate(); }

void TSockServer::Terminate() {
  if (!AcceptThread.joinable()) return;
  Terminated.store(true, std::memory_order_release);
  Stop();
  StartEvent.SetEvent();
  AcceptThread.join();
}

std::vector<std::shared_ptr<TSockStream>> TSockServer::OpenListeners() const {
  std::vector<std::shared_ptr<TSockStream>> streams;
  streams.push_back(std::make_shared<TSockStream>(Counters));
  streams.front()->Listen(BindName, BindAddress, Port, kListenBacklog);
  if (AlsoBindAddress.empty()) return streams;
  auto also = std::make_shared<TSockStream>(Counters);
  try {
    // Port 0 let the system choose for the first socket; the second takes the same number.
    also->Listen({}, AlsoBindAddress, streams.front()->LocalPort(), kListenBacklog);
    streams.push_back(std::move(also));
  } catch (const ESocketError& error) {
    // A machine without that family (IPv6 switched off) still serves the first address; any
    // other failure, a port taken on the second address for one, must reach the user.
    if (error.Code != wsa::kAddressFamily && error.Code != wsa::kAddressNotAvailable) throw;
  }
  return streams;
}

void TSockServer::Start() {
  if (Active()) return;
  std::vector<std::shared_ptr<TSockStream>> streams;
  // A port the system chose for the first family may be taken in the other: choose again.
  for (int attempt = 0;; ++attempt) {
    try {
      streams = OpenListeners();
      break;
    } catch (const ESocketError& error) {
      if ((Port & 0xFFFF) != 0 || error.Code != wsa::kAddressInUse || attempt == 4) throw;
    }
  }
  {
    std::lock_guard lock(ListenMutex);
    ListenStreams = std::move(streams);
  }
  StartEvent.SetEvent();
  IsActive.store(true, std::memory_order_release);
}

void TSockServer::Stop() {
  if (!Active()) return;
  StopRequested.store(true, std::memory_order_release);
  std::vector<std::shared_ptr<TSockStream>> streams;
  {
    std::lock_guard lock(ListenMutex);
    streams = std::move(ListenStreams);
    ListenStreams.clear();
  }
  for (const auto& stream : streams) stream->Shutdown();
  IsActive.store(false, std::memory_order_release);
}

std::string TSockServer::ListeningAddress() const {
  std::lock_guard lock(ListenMutex);
  return ListenStreams.empty() ? std::string() : ListenStreams.front()->LocalAddress();
}

int TSockServer::ListeningPort() const {
  std::lock_guard lock(ListenMutex);
  return ListenStreams.empty() ? 0 : ListenStreams.front()->LocalPort();
}

std::vector<std::string> TSockServer::ListeningAddresses() const {
  std::lock_guard lock(ListenMutex);
  std::vector<std::string> addresses;
  for (const auto& stream : ListenStreams) addresses.push_back(stream->LocalAddress());
  return addresses;
}

std::unique_ptr<TSockStream> TSockServer::AcceptAny(const std::vector<std::shared_ptr<TSockStream>>& listeners,
                                                    int& error) {
  if (listeners.size() == 1) return listeners.front()->Accept(error);
  const int ready = WaitReadable(listeners[0].get(), listeners[1].get());
  for (size_t i = 0; i < 2; ++i) {
    if ((ready & (1 << i)) != 0) return listeners[i]->Accept(error);
  }
  error = wsa::kNotSocket;
  return nullptr;
}

void TSockServer::Execute() {
  while (!Terminated.load(std::memory_order_acquire)) {
    StartEvent.WaitFor();
    if (Terminated.load(std::memory_order_acquire)) break;
    try {
      RunAcceptingCycle();
    } catch (...) {
      // Nothing may leave the thread (it would end the program). The server stops, and says so by
      // no longer being active, so that a later Start brings it back.
      Stop();
    }
  }
}

void TSockServer::RunAcceptingCycle() {
  StopRequested.store(false, std::memory_order_release);
  std::vector<std::shared_ptr<TSockStream>> listeners;
  {
    std::lock_guard lock(ListenMutex);
    listeners = ListenStreams;
  }
  if (listeners.empty()) return;
  for (;;) {
    PrepareListeners(listeners);
    int error = 0;
    std::unique_ptr<TSockStream> client = AcceptAny(listeners, error);
    // The shut-down check covers a Stop that came between the start of this cycle and the
    // clearing of StopRequested above.
    if (StopRequested.load(std::memory_order_acquire) || Terminated.load(std::memory_order_acquire) ||
        listeners.front()->IsShutDown()) {
      return;  // an accepted connection, if any, is closed unserved
    }
    if (client) {
      ServeOne(std::move(client));
    } else if (IsResourceShortage(error)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Any other failed accept (a connection reset before it was taken, say) concerns that one
    // connection only: keep accepting.
  }
}

void TSockServer::PrepareListeners(const std::vector<std::shared_ptr<TSockStream>>& listeners) const {
  // Costs no call unless the time-out changed. A blocking accept that times out by it is just
  // another turn of the loop.
  const int idleMs = AcceptedIdleTimeoutMs();
  for (const auto& listener : listeners) {
    listener->SetIdleTimeout(idleMs);
    listener->EnableKeepAlive();
  }
}

void TSockServer::ServeOne(std::unique_ptr<TSockStream> client) {
  try {
    ClientConnected(std::move(client));
  } catch (...) {
    // Out of memory or threads for this one connection: it is closed unserved, and a short pause
    // lets the shortage pass instead of failing every connection that is already queued.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

bool TSockServerClientThread::Run(TConnectionPool& pool, std::unique_ptr<TSockServerClientThread> thread,
                                  std::size_t maxThreads) {
  // std::function needs a copyable callable: the thread object travels in a shared_ptr.
  std::shared_ptr<TSockServerClientThread> owned = std::move(thread);
  return pool.Run(
      [owned = std::move(owned)](TConnectionPool::TFinishing& finishing) mutable {
        owned->ClientExecute(finishing);
        owned.reset();
      },
      maxThreads);
}

}  // namespace tarnwick
