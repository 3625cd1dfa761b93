#pragma once
// TSockServer: a thread that owns the listening socket and hands each accepted connection to
// ClientConnected. TSockServerClientThread: the base of a thread that serves one connection.
//
// Start, Stop and destruction belong to one controlling thread (the user-interface thread); the
// accepting thread runs Execute. They meet only in StartEvent, the atomic flags and the
// listening stream's slot (guarded by ListenMutex). Stop wakes a blocked accept by shutting the
// listening socket down; the socket is closed by whichever side lets go of it last.

#include <sys/socket.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/ConnectionPool.h"
#include "engine/SockStream.h"
#include "platform/Event.h"

namespace tarnwick {

class TCorvanePrefs;

class TSockServer {
 public:
  // The listen queue: as long as the system allows. Browsers open many connections at once, and on
  // Linux an overflowing queue drops connection attempts for seconds.
  static constexpr int kListenBacklog = SOMAXCONN;

  // `counters` (may be null) is handed to every accepted stream and must outlive them.
  explicit TSockServer(TCorvanePrefs* counters = nullptr);
  virtual ~TSockServer();
  TSockServer(const TSockServer&) = delete;
  TSockServer& operator=(const TSockServer&) = delete;

  // Opens the listening socket (and the one on AlsoBindAddress) and starts an accepting cycle;
  // nothing when already active. Raises ESocketError when the socket on BindAddress cannot be
  // created, bound or put into listening state.
  virtual void Start();
  // Ends the accepting cycle and closes the listening socket; nothing when not active. Never raises.
  void Stop();

  bool Active() const { return IsActive.load(std::memory_order_acquire); }
  // Where the listening socket is bound while active (port 0 asks the system for one).
  std::string ListeningAddress() const;
  int ListeningPort() const;
  // Every address listened on, BindAddress first.
  std::vector<std::string> ListeningAddresses() const;

  std::string BindName;
  std::string BindAddress;
  // A second address to listen on, on the same port, usually of the other family ("::1" beside
  // "127.0.0.1"). Empty: none. Where this machine has no such address the server does without it.
  std::string AlsoBindAddress;
  int Port = 0;

 protected:
  // Receives ownership of one accepted connection; runs on the accepting thread. Whatever it raises
  // costs that connection only: the server goes on accepting.
  virtual void ClientConnected(std::unique_ptr<TSockStream> client) = 0;
  // The idle time-out (ms, 0: none) the accepted connections start with; asked before each accept.
  virtual int AcceptedIdleTimeoutMs() const { return 0; }
  // Ends the accepting thread and waits for it. Every derived destructor calls this first, so that
  // ClientConnected is never called on a half-destroyed object; calling it twice is harmless.
  void Terminate();

  TCorvanePrefs* const Counters;
  // The threads that serve this server's connections, reused from one connection to the next.
  TConnectionPool ConnectionThreads;

 private:
  void Execute();
  void RunAcceptingCycle();
  void ServeOne(std::unique_ptr<TSockStream> client);
  // Gives the listeners the options every accepted connection needs, so that they come with them.
  void PrepareListeners(const std::vector<std::shared_ptr<TSockStream>>& listeners) const;

  std::atomic<bool> IsActive{false};
  std::atomic<bool> StopRequested{false};
  std::atomic<bool> Terminated{false};
  TEvent StartEvent;
  // The listening sockets on BindAddress and AlsoBindAddress.
  std::vector<std::shared_ptr<TSockStream>> OpenListeners() const;
  // Waits for a connection on any of the listeners; null when none came.
  static std::unique_ptr<TSockStream> AcceptAny(const std::vector<std::shared_ptr<TSockStream>>& listeners, int& error);

  mutable std::mutex ListenMutex;
  std::vector<std::shared_ptr<TSockStream>> ListenStreams;  // guarded by ListenMutex
  std::thread AcceptThread;
};

// Serves one accepted connection on a thread of the server's pool, then frees itself with the
// connection. Created by the server's ClientConnected.
class TSockServerClientThread {
 public:
  explicit TSockServerClientThread(std::unique_ptr<TSockStream> clientSocket) : ClientSocket(std::move(clientSocket)) {}
  virtual ~TSockServerClientThread() = default;
  TSockServerClientThread(const TSockServerClientThread&) = delete;
  TSockServerClientThread& operator=(const TSockServerClientThread&) = delete;

  // Has a thread of `pool` run ClientExecute and then destroy `thread`; at most `maxThreads` serve
  // at once, later connections wait for a free one. When no thread can be started the object (and
  // its connection) is destroyed at once and false is returned.
  static bool Run(TConnectionPool& pool, std::unique_ptr<TSockServerClientThread> thread,
                  std::size_t maxThreads = TConnectionPool::kDefaultMaxThreads);

 protected:
  // Serves the connection; calls `finishing.Announce()` just before the client can see the end.
  virtual void ClientExecute(TConnectionPool::TFinishing& finishing) = 0;

  std::unique_ptr<TSockStream> ClientSocket;
};

}  // namespace tarnwick
