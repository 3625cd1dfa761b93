#pragma once
// The body of a response as the content filters read it: plain bytes, whatever framing the server
// used. A chunked body is decoded here, so that a filter never edits chunk sizes as if they were
// page text; the filtered answer then goes out without Transfer-Encoding and ends with the close.
//
// Both classes belong to one connection's thread.

#include <cstdint>
#include <span>
#include <string_view>

#include "engine/HeaderList.h"
#include "engine/SockStream.h"

namespace tarnwick {

// Incremental decoder of the chunked transfer coding. Correct for every split of its input.
// Framing it cannot make sense of ends the body: what was decoded before stays good.
class TChunkedDecoder {
 public:
  // Decodes `data` in place: the body bytes it holds are moved to its front. Returns their count.
  std::int32_t Decode(std::uint8_t* data, std::int32_t n);
  // The last chunk and its trailer have been read, or the framing broke down.
  bool Finished() const { return State == TState::Done || State == TState::Broken; }
  bool Broken() const { return State == TState::Broken; }
  // How many input bytes the last Decode went through: all of them, unless the body ended (or
  // broke down) inside them.
  std::int32_t LastConsumed() const { return Consumed; }

 private:
  enum class TState { Size, Extension, SizeEnd, Data, DataEnd, DataEndLf, Trailer, Done, Broken };

  // Consumes bytes of framing from data[at]; returns the new position.
  std::int32_t Frame(const std::uint8_t* data, std::int32_t at, std::int32_t n);
  void Fail() { State = TState::Broken; }

  TState State = TState::Size;
  std::uint64_t Remaining = 0;  // bytes of the current chunk still to come
  std::int32_t Digits = 0;
  std::int32_t LineLength = 0;  // bounds a size or trailer line that never ends
  std::int32_t Consumed = 0;
};

// How a filter reads one response body from the server. Start() looks at the response head; a
// chunked body is decoded, a body with a length stops after it, any other runs to the close.
class TResponseBody {
 public:
  // False when the body is coded in a way the filters cannot read (a transfer coding other than
  // chunked). Removes Transfer-Encoding from `headers` when it is chunked, since the body will be
  // passed on decoded.
  bool Start(THeaderList& headers, std::int64_t contentLength);
  // Up to n body bytes; 0 at the end of the body or when the server fails.
  std::int32_t Read(TSockStream& server, std::uint8_t* into, std::int32_t n);
  // The body ended before its framing said it would: the server closed (or went silent) inside a
  // chunk or short of its Content-Length, or the chunked framing broke down.
  bool EndedEarly() const { return Early; }
  // Every byte the framing announced has been read: the next Read returns 0 without waiting.
  bool AllRead() const { return Ended || (!Chunked && Left == 0); }
  // Whether a transfer coding other than chunked applies, from the head alone.
  static bool Unreadable(const THeaderList& headers);
  static bool Unreadable(std::string_view coding);

 private:
  bool Chunked = false;
  std::int64_t Left = -1;  // bytes still expected; -1 until the server closes
  bool Ended = false;
  bool Early = false;
  TChunkedDecoder Decoder;
};

}  // namespace tarnwick
