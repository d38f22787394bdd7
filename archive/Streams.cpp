#include "Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

TFileStream::TFileStream(const std::string& nativePath)
    : descriptor_(platform::OpenRegularFile(nativePath)) {
  if (descriptor_ < 0) {
    throw EFOpenError("Cannot open file \"" + nativePath + "\": " + std::strerror(errno));
  }
}

TFileStream::~TFileStream() { ::close(descriptor_); }

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  auto* cursor = static_cast<char*>(buffer);
  std::size_t moved = 0;
  while (moved < count) {
    const ssize_t got = ::read(descriptor_, cursor + moved, count - moved);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    moved += static_cast<std::size_t>(got);
  }
  return moved;
}

std::size_t TFileStream::Write(const void*, std::size_t) { return 0; }

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  int whence = SEEK_SET;
  if (origin == TSeekOrigin::soCurrent) whence = SEEK_CUR;
  if (origin == TSeekOrigin::soEnd) whence = SEEK_END;
  const off_t position = ::lseek(descriptor_, static_cast<off_t>(offset), whence);
  if (position < 0) throw EStreamError(std::string("Cannot seek: ") + std::strerror(errno));
  return position;
}

std::int64_t TFileStream::Size() const {
  struct stat status {};
  if (::fstat(descriptor_, &status) != 0) return 0;
  return status.st_size;
}
