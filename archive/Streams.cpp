#include "Streams.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <utility>

#include "platform/files.h"

namespace {

std::int64_t ResolveSeek(std::int64_t offset, TSeekOrigin origin, std::int64_t current,
                         std::int64_t size) {
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = current;
  if (origin == TSeekOrigin::soEnd) base = size;
  const std::int64_t target = base + offset;
  if (target < 0) throw EStreamError("Stream position before the start");
  return target;
}

}  // namespace

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  const std::span<const std::uint8_t> available = Remaining();
  const std::size_t moved = std::min(count, available.size());
  if (moved != 0) std::memcpy(buffer, available.data(), moved);
  position_ += moved;
  return moved;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
  std::memcpy(bytes_.data() + position_, buffer, count);
  position_ += count;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  position_ = static_cast<std::size_t>(
      ResolveSeek(offset, origin, static_cast<std::int64_t>(position_), Size()));
  return static_cast<std::int64_t>(position_);
}

void TMemoryStream::SetSize(std::int64_t size) {
  bytes_.resize(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)));
}

void TMemoryStream::Clear() {
  bytes_.clear();
  position_ = 0;
}

std::span<const std::uint8_t> TMemoryStream::Remaining() const {
  if (position_ >= bytes_.size()) return {};
  return std::span<const std::uint8_t>(bytes_).subspan(position_);
}

TFileStream::TFileStream(const std::string& nativePath) : file_(Open(nativePath)) {}

platform::ReadableFile TFileStream::Open(const std::string& nativePath) {
  auto opened = platform::OpenRegularFile(nativePath);
  if (!opened) throw EFOpenError("Cannot open " + opened.Reason());
  return std::move(*opened);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  const std::span into(static_cast<std::uint8_t*>(buffer), count);
  std::size_t moved = 0;
  while (moved < count) {
    const auto got = file_.ReadAt(position_ + static_cast<std::int64_t>(moved), into.subspan(moved));
    if (!got || *got == 0) break;
    moved += *got;
  }
  position_ += static_cast<std::int64_t>(moved);
  return moved;
}

std::size_t TFileStream::Write(const void*, std::size_t) { return 0; }

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  position_ = ResolveSeek(offset, origin, position_, Size());
  return position_;
}

std::int64_t TFileStream::Size() const { return file_.Size().value_or(0); }
