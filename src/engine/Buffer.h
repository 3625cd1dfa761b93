#pragma once
// TBuffer: a flat byte area appended at the end and read from the front, without wrap-around.
// When the last unread byte is taken both positions return to 0; until then room freed at the front
// is not reused. Invariant: 0 <= ReadPos <= WritePos <= Capacity. One thread at a time.

#include <cstdint>
#include <memory>
#include <span>

namespace tarnwick {

class TBuffer {
 public:
  static constexpr std::int32_t kDefaultCapacity = 1514;

  explicit TBuffer(std::int32_t capacity = kDefaultCapacity);

  // n <= 0 means kDefaultCapacity. A non-empty buffer keeps its data and positions.
  void SetCapacity(std::int32_t n);

  // Copies as much as fits before Capacity; returns the count stored.
  std::int32_t Write(const void* bytes, std::int32_t n);
  // Copies up to n unread bytes out and consumes them; returns the count.
  std::int32_t Read(void* into, std::int32_t n);
  // The unread bytes, in place.
  std::span<const std::uint8_t> Peek() const;
  // Consumes up to n unread bytes; returns the count.
  std::int32_t Skip(std::int32_t n);
  bool ReadByte(std::uint8_t& b);
  bool WriteByte(std::uint8_t b);
  // Two bytes as stored; false (and nothing consumed) unless both are there.
  bool ReadWord(std::uint16_t& w);
  // Empties the buffer.
  void Clear() { WritePos = ReadPos = 0; }
  // Moves the unread bytes to the front, so that all free room is at the end again.
  void Compact();

  std::int32_t Unread() const { return WritePos - ReadPos; }
  bool Empty() const { return WritePos == ReadPos; }

  // Whole storage, Capacity + 1 bytes, so a terminating zero fits after full data.
  std::uint8_t* Data() { return Storage.get(); }
  const std::uint8_t* Data() const { return Storage.get(); }

  std::int32_t Capacity = 0;
  std::int32_t WritePos = 0;
  std::int32_t ReadPos = 0;

 private:
  void Consume(std::int32_t n);

  // Not zero-filled: only the terminating byte after full data is promised, and connections make
  // several of these buffers each.
  std::unique_ptr<std::uint8_t[]> Storage;
};

}  // namespace tarnwick
