#pragma once
// Byte streams with a position: a growable buffer in memory and a read-only host file.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files.h"

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised when a file cannot be opened; carries the host's reason.
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

class TStream {
 public:
  virtual ~TStream() = default;

  // Both return the number of bytes moved: fewer than asked at the end of a stream or on error.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  // Returns the new position. A position past the end is allowed; reads there return nothing.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual std::int64_t Size() const = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
};

class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  // Writing past the end grows the stream.
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }

  // New bytes are zero; the position is kept, even when it ends up past the end.
  void SetSize(std::int64_t size);
  void Clear();

  // The whole content, independent of the position.
  std::span<const std::uint8_t> Memory() const { return bytes_; }
  std::span<std::uint8_t> Memory() { return bytes_; }
  // From the position to the end (empty when the position is past the end).
  std::span<const std::uint8_t> Remaining() const;

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// A host file opened read-only; the path is a host (UTF-8, '/') path.
class TFileStream final : public TStream {
 public:
  explicit TFileStream(const std::string& nativePath);
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  // The stream is read-only: writes move nothing.
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() const override;

 private:
  static platform::ReadableFile Open(const std::string& nativePath);

  platform::ReadableFile file_;
  std::int64_t position_ = 0;
};
