#include "engine/Buffer.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {

TBuffer::TBuffer(std::int32_t capacity) { SetCapacity(capacity); }

void TBuffer::SetCapacity(std::int32_t n) {
  if (n <= 0) n = kDefaultCapacity;
  if (n == Capacity && Storage) return;
  auto grown = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<size_t>(n) + 1);
  grown[static_cast<size_t>(n)] = 0;
  if (!Empty()) {
    // Callers only grow a non-empty buffer; a shrink keeps what still fits.
    const std::int32_t kept = std::min(WritePos, n);
    std::memcpy(grown.get(), Storage.get(), static_cast<size_t>(kept));
    WritePos = kept;
    ReadPos = std::min(ReadPos, kept);
  } else {
    WritePos = ReadPos = 0;
  }
  Storage = std::move(grown);
  Capacity = n;
}

std::int32_t TBuffer::Write(const void* bytes, std::int32_t n) {
  const std::int32_t count = std::clamp(n, 0, Capacity - WritePos);
  if (count > 0) {
    std::memcpy(Storage.get() + WritePos, bytes, static_cast<size_t>(count));
    WritePos += count;
  }
  return count;
}

std::int32_t TBuffer::Read(void* into, std::int32_t n) {
  const std::int32_t count = std::clamp(n, 0, Unread());
  if (count > 0) std::memcpy(into, Storage.get() + ReadPos, static_cast<size_t>(count));
  Consume(count);
  return count;
}

std::span<const std::uint8_t> TBuffer::Peek() const { return {Storage.get() + ReadPos, static_cast<size_t>(Unread())}; }

std::int32_t TBuffer::Skip(std::int32_t n) {
  const std::int32_t count = std::clamp(n, 0, Unread());
  Consume(count);
  return count;
}

bool TBuffer::ReadByte(std::uint8_t& b) { return Read(&b, 1) == 1; }

bool TBuffer::WriteByte(std::uint8_t b) { return Write(&b, 1) == 1; }

bool TBuffer::ReadWord(std::uint16_t& w) {
  if (Unread() < 2) return false;
  return Read(&w, 2) == 2;
}

void TBuffer::Consume(std::int32_t n) {
  ReadPos += n;
  if (ReadPos == WritePos) Clear();
}

void TBuffer::Compact() {
  if (ReadPos == 0) return;
  std::memmove(Storage.get(), Storage.get() + ReadPos, static_cast<size_t>(WritePos - ReadPos));
  WritePos -= ReadPos;
  ReadPos = 0;
}

}  // namespace tarnwick
