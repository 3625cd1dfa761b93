#include "engine/SockServer.h"

#include <chrono>
#include <system_error>

#include "platform/SocketError.h"

namespace tarnwick {

namespace {

// Accept failures that come from a shortage of descriptors or memory repeat at once; pause a little
// so that the accepting thread does not spin while the shortage lasts.
bool IsResourceShortage(int code) {
  return code == wsa::kTooManyOpenFiles || code == wsa::kNoBufferSpace;
}

}  // namespace

TSockServer::TSockServer(TCorvanePrefs* counters)
    : Counters(counters), AcceptThread([this] { Execute(); }) {}

TSockServer::~TSockServer() { Terminate(); }

void TSockServer::Terminate() {
  if (!AcceptThread.joinable()) return;
  Terminated.store(true, std::memory_order_release);
  Stop();
  StartEvent.SetEvent();
  AcceptThread.join();
}

void TSockServer::Start() {
  if (Active()) return;
  auto stream = std::make_shared<TSockStream>(Counters);
  stream->Listen(BindName, BindAddress, Port, kListenBacklog);
  {
    std::lock_guard lock(ListenMutex);
    ListenStream = std::move(stream);
  }
  StartEvent.SetEvent();
  IsActive.store(true, std::memory_order_release);
}

void TSockServer::Stop() {
  if (!Active()) return;
  StopRequested.store(true, std::memory_order_release);
  std::shared_ptr<TSockStream> stream;
  {
    std::lock_guard lock(ListenMutex);
    stream = std::move(ListenStream);
  }
  if (stream) stream->Shutdown();
  IsActive.store(false, std::memory_order_release);
}

std::string TSockServer::ListeningAddress() const {
  std::lock_guard lock(ListenMutex);
  return ListenStream ? ListenStream->LocalAddress() : std::string();
}

int TSockServer::ListeningPort() const {
  std::lock_guard lock(ListenMutex);
  return ListenStream ? ListenStream->LocalPort() : 0;
}

void TSockServer::Execute() {
  try {
    while (!Terminated.load(std::memory_order_acquire)) {
      StartEvent.WaitFor();
      if (Terminated.load(std::memory_order_acquire)) break;
      RunAcceptingCycle();
    }
  } catch (const std::exception&) {
    // Nothing may leave the thread (it would end the program); the server simply stops accepting.
  }
}

void TSockServer::RunAcceptingCycle() {
  StopRequested.store(false, std::memory_order_release);
  std::shared_ptr<TSockStream> listener;
  {
    std::lock_guard lock(ListenMutex);
    listener = ListenStream;
  }
  if (!listener) return;
  for (;;) {
    int error = 0;
    std::unique_ptr<TSockStream> client = listener->Accept(error);
    // The shut-down check covers a Stop that came between the start of this cycle and the
    // clearing of StopRequested above.
    if (StopRequested.load(std::memory_order_acquire) || Terminated.load(std::memory_order_acquire) ||
        listener->IsShutDown()) {
      return;  // an accepted connection, if any, is closed unserved
    }
    if (client) {
      ClientConnected(std::move(client));
    } else if (IsResourceShortage(error)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Any other failed accept (a connection reset before it was taken, say) concerns that one
    // connection only: keep accepting.
  }
}

bool TSockServerClientThread::Run(std::unique_ptr<TSockServerClientThread> thread) {
  try {
    std::thread([owned = std::move(thread)]() mutable {
      owned->ClientExecute();
      owned.reset();
    }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace tarnwick
