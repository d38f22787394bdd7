#pragma once
// A small PNG codec for golden pictures: 8-bit RGB out, 8-bit RGB or RGBA in. Our own deflate
// (LZ77 with the fixed Huffman codes) keeps the checked-in files small without a new library;
// the reader inflates every block type, so a file re-saved by another tool still reads.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace png {

// Pixels are 0xAARRGGBB, row by row; the writer drops alpha, the reader makes it 0xFF for RGB.
struct Image {
  int width = 0, height = 0;
  std::vector<std::uint32_t> argb;
};

namespace detail {

constexpr std::array<std::uint16_t, 29> kLengthBase{3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistanceBase{1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                                      33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                                      1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistanceExtra{0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                                      6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

inline std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (const std::uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

inline std::uint32_t Adler32(std::span<const std::uint8_t> bytes) {
  std::uint32_t a = 1, b = 0;
  for (const std::uint8_t byte : bytes) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void Put(std::uint32_t bits, int count) {
    acc_ |= bits << filled_;
    filled_ += count;
    for (; filled_ >= 8; filled_ -= 8, acc_ >>= 8) out_.push_back(static_cast<std::uint8_t>(acc_));
  }
  // Huffman codes go most significant bit first.
  void PutCode(std::uint32_t code, int length) {
    std::uint32_t reversed = 0;
    for (int i = 0; i < length; ++i) reversed |= ((code >> i) & 1) << (length - 1 - i);
    Put(reversed, length);
  }
  void Flush() {
    if (filled_ > 0) out_.push_back(static_cast<std::uint8_t>(acc_));
    acc_ = 0;
    filled_ = 0;
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::uint32_t acc_ = 0;
  int filled_ = 0;
};

inline void PutFixedSymbol(BitWriter& w, int symbol) {
  const auto s = static_cast<std::uint32_t>(symbol);
  if (symbol < 144) return w.PutCode(0x30 + s, 8);
  if (symbol < 256) return w.PutCode(0x190 + s - 144, 9);
  if (symbol < 280) return w.PutCode(s - 256, 7);
  w.PutCode(0xC0 + s - 280, 8);
}

inline void PutMatch(BitWriter& w, int length, int distance) {
  int l = 28;
  while (kLengthBase[static_cast<size_t>(l)] > length) --l;
  PutFixedSymbol(w, 257 + l);
  w.Put(static_cast<std::uint32_t>(length - kLengthBase[static_cast<size_t>(l)]), kLengthExtra[static_cast<size_t>(l)]);
  int d = 29;
  while (kDistanceBase[static_cast<size_t>(d)] > distance) --d;
  w.PutCode(static_cast<std::uint32_t>(d), 5);
  w.Put(static_cast<std::uint32_t>(distance - kDistanceBase[static_cast<size_t>(d)]),
        kDistanceExtra[static_cast<size_t>(d)]);
}

// zlib stream of one fixed-code block.
inline std::vector<std::uint8_t> Deflate(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out{0x78, 0x01};
  BitWriter w(out);
  w.Put(1, 1);  // final block
  w.Put(1, 2);  // fixed codes
  const size_t n = data.size();
  constexpr size_t kWindow = 32768, kMaxLength = 258;
  std::vector<std::int64_t> head(1 << 15, -1), prev(n, -1);
  const auto hash = [&](size_t i) { return ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & 0x7FFF; };
  const auto insert = [&](size_t i) {
    if (i + 3 > n) return;
    const auto h = static_cast<size_t>(hash(i));
    prev[i] = head[h];
    head[h] = static_cast<std::int64_t>(i);
  };
  for (size_t i = 0; i < n;) {
    size_t bestLength = 0, bestDistance = 0;
    if (i + 3 <= n) {
      const size_t longest = std::min(kMaxLength, n - i);
      std::int64_t candidate = head[static_cast<size_t>(hash(i))];
      for (int chain = 0; candidate >= 0 && i - static_cast<size_t>(candidate) <= kWindow && chain < 64; ++chain) {
        const auto c = static_cast<size_t>(candidate);
        size_t length = 0;
        while (length < longest && data[c + length] == data[i + length]) ++length;
        if (length > bestLength) {
          bestLength = length;
          bestDistance = i - c;
          if (length == longest) break;
        }
        candidate = prev[c];
      }
    }
    if (bestLength >= 3) {
      PutMatch(w, static_cast<int>(bestLength), static_cast<int>(bestDistance));
      for (size_t k = 0; k < bestLength; ++k) insert(i + k);
      i += bestLength;
    } else {
      PutFixedSymbol(w, data[i]);
      insert(i);
      ++i;
    }
  }
  PutFixedSymbol(w, 256);
  w.Flush();
  const std::uint32_t adler = Adler32(data);
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(adler >> shift));
  return out;
}

struct Huffman {
  std::array<std::int16_t, 16> count{};
  std::array<std::int16_t, 288> symbol{};
};

class Inflater {
 public:
  explicit Inflater(std::span<const std::uint8_t> in) : in_(in) {}

  std::optional<std::vector<std::uint8_t>> Run() {
    for (bool last = false; !last;) {
      last = Bits(1) == 1;
      const std::uint32_t type = Bits(2);
      const bool ok = type == 0 ? Stored() : type == 1 ? Fixed() : type == 2 ? Dynamic() : false;
      if (!ok || error_) return std::nullopt;
    }
    return std::move(out_);
  }
  size_t Consumed() const { return pos_; }

 private:
  std::uint32_t Bits(int need) {
    std::uint64_t value = bitBuffer_;
    while (bitCount_ < need) {
      if (pos_ >= in_.size()) {
        error_ = true;
        return 0;
      }
      value |= std::uint64_t{in_[pos_++]} << bitCount_;
      bitCount_ += 8;
    }
    bitBuffer_ = value >> need;
    bitCount_ -= need;
    return static_cast<std::uint32_t>(value & ((std::uint64_t{1} << need) - 1));
  }

  static void Build(Huffman& h, std::span<const std::int16_t> lengths) {
    h.count.fill(0);
    for (const std::int16_t length : lengths) ++h.count[static_cast<size_t>(length)];
    std::array<std::int16_t, 16> offsets{};
    for (size_t length = 1; length < 15; ++length) {
      offsets[length + 1] = static_cast<std::int16_t>(offsets[length] + h.count[length]);
    }
    for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
      if (lengths[symbol] != 0) h.symbol[static_cast<size_t>(offsets[static_cast<size_t>(lengths[symbol])]++)] =
          static_cast<std::int16_t>(symbol);
    }
  }

  int Decode(const Huffman& h) {
    int code = 0, first = 0, index = 0;
    for (size_t length = 1; length < 16; ++length) {
      code |= static_cast<int>(Bits(1));
      const int count = h.count[length];
      if (code - count < first) return h.symbol[static_cast<size_t>(index + code - first)];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    error_ = true;
    return -1;
  }

  bool Stored() {
    bitBuffer_ = 0;
    bitCount_ = 0;
    if (pos_ + 4 > in_.size()) return false;
    const unsigned length = in_[pos_] | (in_[pos_ + 1] << 8);
    const unsigned check = in_[pos_ + 2] | (in_[pos_ + 3] << 8);
    pos_ += 4;
    if (length != (~check & 0xFFFF) || pos_ + length > in_.size()) return false;
    out_.insert(out_.end(), in_.begin() + static_cast<std::ptrdiff_t>(pos_),
                in_.begin() + static_cast<std::ptrdiff_t>(pos_ + length));
    pos_ += length;
    return true;
  }

  bool Codes(const Huffman& lengths, const Huffman& distances) {
    for (;;) {
      int symbol = Decode(lengths);
      if (error_ || symbol < 0) return false;
      if (symbol < 256) {
        out_.push_back(static_cast<std::uint8_t>(symbol));
        continue;
      }
      if (symbol == 256) return true;
      symbol -= 257;
      if (symbol >= 29) return false;
      const size_t length = kLengthBase[static_cast<size_t>(symbol)] + Bits(kLengthExtra[static_cast<size_t>(symbol)]);
      const int d = Decode(distances);
      if (error_ || d < 0 || d >= 30) return false;
      const size_t distance = kDistanceBase[static_cast<size_t>(d)] + Bits(kDistanceExtra[static_cast<size_t>(d)]);
      if (error_ || distance > out_.size()) return false;
      for (size_t k = 0; k < length; ++k) out_.push_back(out_[out_.size() - distance]);
    }
  }

  bool Fixed() {
    std::array<std::int16_t, 288> lengths{};
    std::fill(lengths.begin(), lengths.begin() + 144, 8);
    std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
    std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
    std::fill(lengths.begin() + 280, lengths.end(), 8);
    std::array<std::int16_t, 30> distanceLengths{};
    distanceLengths.fill(5);
    Huffman lengthCode, distanceCode;
    Build(lengthCode, lengths);
    Build(distanceCode, distanceLengths);
    return Codes(lengthCode, distanceCode);
  }

  bool Dynamic() {
    static constexpr std::array<size_t, 19> kOrder{16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    const size_t lengthCount = Bits(5) + 257, distanceCount = Bits(5) + 1, codeCount = Bits(4) + 4;
    if (lengthCount > 286 || distanceCount > 30) return false;
    std::array<std::int16_t, 320> lengths{};
    for (size_t i = 0; i < codeCount; ++i) lengths[kOrder[i]] = static_cast<std::int16_t>(Bits(3));
    Huffman codeCode;
    Build(codeCode, std::span(lengths.data(), 19));
    std::fill(lengths.begin(), lengths.end(), 0);
    for (size_t index = 0; index < lengthCount + distanceCount;) {
      const int symbol = Decode(codeCode);
      if (error_ || symbol < 0) return false;
      if (symbol < 16) {
        lengths[index++] = static_cast<std::int16_t>(symbol);
        continue;
      }
      std::int16_t repeated = 0;
      size_t times = 0;
      if (symbol == 16) {
        if (index == 0) return false;
        repeated = lengths[index - 1];
        times = 3 + Bits(2);
      } else {
        times = symbol == 17 ? 3 + Bits(3) : 11 + Bits(7);
      }
      if (index + times > lengthCount + distanceCount) return false;
      while (times-- > 0) lengths[index++] = repeated;
    }
    Huffman lengthCode, distanceCode;
    Build(lengthCode, std::span(lengths.data(), lengthCount));
    Build(distanceCode, std::span(lengths.data() + lengthCount, distanceCount));
    return Codes(lengthCode, distanceCode);
  }

  std::span<const std::uint8_t> in_;
  size_t pos_ = 0;
  std::uint64_t bitBuffer_ = 0;
  int bitCount_ = 0;
  bool error_ = false;
  std::vector<std::uint8_t> out_;
};

inline int Paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// The byte predicted by filter type `filter` from left a, above b and upper-left c.
inline int Predict(int filter, int a, int b, int c) {
  switch (filter) {
    case 1: return a;
    case 2: return b;
    case 3: return (a + b) / 2;
    case 4: return Paeth(a, b, c);
    default: return 0;
  }
}

inline void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline std::uint32_t GetBigEndian(std::span<const std::uint8_t> bytes, size_t at) {
  return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 | std::uint32_t{bytes[at + 2]} << 8 |
         bytes[at + 3];
}

inline void PutChunk(std::vector<std::uint8_t>& out, const char* type, std::span<const std::uint8_t> data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian(out, Crc32(std::span(out).subspan(start)));
}

constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace detail

inline std::vector<std::uint8_t> Encode(const Image& image) {
  using namespace detail;
  const auto width = static_cast<size_t>(image.width), height = static_cast<size_t>(image.height);
  const size_t stride = width * 3;
  std::vector<std::uint8_t> raw(stride * height);
  for (size_t i = 0; i < width * height; ++i) {
    for (size_t k = 0; k < 3; ++k) raw[i * 3 + k] = static_cast<std::uint8_t>(image.argb[i] >> (16 - 8 * k));
  }
  // Each row takes the filter with the smallest sum of signed residuals, the usual heuristic.
  std::vector<std::uint8_t> filtered;
  filtered.reserve((stride + 1) * height);
  std::vector<std::uint8_t> best(stride), trial(stride);
  for (size_t y = 0; y < height; ++y) {
    const std::uint8_t* row = raw.data() + y * stride;
    const std::uint8_t* above = y > 0 ? row - stride : nullptr;
    long bestCost = -1;
    int bestFilter = 0;
    for (int filter = 0; filter < 5; ++filter) {
      long cost = 0;
      for (size_t x = 0; x < stride; ++x) {
        const int a = x >= 3 ? row[x - 3] : 0, b = above != nullptr ? above[x] : 0;
        const int c = x >= 3 && above != nullptr ? above[x - 3] : 0;
        trial[x] = static_cast<std::uint8_t>(row[x] - Predict(filter, a, b, c));
        cost += std::abs(static_cast<std::int8_t>(trial[x]));
      }
      if (bestCost < 0 || cost < bestCost) {
        bestCost = cost;
        bestFilter = filter;
        best.swap(trial);
      }
    }
    filtered.push_back(static_cast<std::uint8_t>(bestFilter));
    filtered.insert(filtered.end(), best.begin(), best.end());
  }
  std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
  std::vector<std::uint8_t> header;
  PutBigEndian(header, static_cast<std::uint32_t>(width));
  PutBigEndian(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", Deflate(filtered));
  PutChunk(out, "IEND", {});
  return out;
}

inline std::optional<Image> Decode(std::span<const std::uint8_t> file) {
  using namespace detail;
  if (file.size() < 8 || !std::equal(kSignature.begin(), kSignature.end(), file.begin())) return std::nullopt;
  Image image;
  int channels = 0;
  std::vector<std::uint8_t> compressed;
  for (size_t at = 8; at + 12 <= file.size();) {
    const size_t length = GetBigEndian(file, at);
    if (length > file.size() - at - 12) return std::nullopt;
    const auto chunk = file.subspan(at + 4, length + 4);
    if (Crc32(chunk) != GetBigEndian(file, at + 8 + length)) return std::nullopt;
    const std::string type(chunk.begin(), chunk.begin() + 4);
    const auto data = chunk.subspan(4);
    if (type == "IHDR") {
      if (length != 13 || data[8] != 8 || (data[9] != 2 && data[9] != 6) || data[12] != 0) return std::nullopt;
      image.width = static_cast<int>(GetBigEndian(data, 0));
      image.height = static_cast<int>(GetBigEndian(data, 4));
      channels = data[9] == 2 ? 3 : 4;
    } else if (type == "IDAT") {
      compressed.insert(compressed.end(), data.begin(), data.end());
    } else if (type == "IEND") {
      break;
    }
    at += length + 12;
  }
  if (channels == 0 || image.width <= 0 || image.height <= 0 || image.width > 16384 || image.height > 16384 ||
      compressed.size() < 6 || (compressed[0] & 0x0F) != 8) {
    return std::nullopt;
  }
  auto filtered = Inflater(std::span(compressed).subspan(2)).Run();
  const auto width = static_cast<size_t>(image.width), height = static_cast<size_t>(image.height);
  const auto bpp = static_cast<size_t>(channels);
  const size_t stride = width * bpp;
  if (!filtered || filtered->size() < (stride + 1) * height || Adler32(std::span(*filtered).first((stride + 1) * height)) !=
                                                                      GetBigEndian(compressed, compressed.size() - 4)) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> raw(stride * height);
  for (size_t y = 0; y < height; ++y) {
    const int filter = (*filtered)[y * (stride + 1)];
    if (filter > 4) return std::nullopt;
    const std::uint8_t* in = filtered->data() + y * (stride + 1) + 1;
    std::uint8_t* row = raw.data() + y * stride;
    const std::uint8_t* above = y > 0 ? row - stride : nullptr;
    for (size_t x = 0; x < stride; ++x) {
      const int a = x >= bpp ? row[x - bpp] : 0, b = above != nullptr ? above[x] : 0;
      const int c = x >= bpp && above != nullptr ? above[x - bpp] : 0;
      row[x] = static_cast<std::uint8_t>(in[x] + Predict(filter, a, b, c));
    }
  }
  image.argb.resize(width * height);
  for (size_t i = 0; i < width * height; ++i) {
    const std::uint8_t* p = raw.data() + i * bpp;
    const std::uint32_t alpha = channels == 4 ? p[3] : 0xFF;
    image.argb[i] = alpha << 24 | std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
  }
  return image;
}

inline bool Write(const std::filesystem::path& path, const Image& image) {
  const auto bytes = Encode(image);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

inline std::optional<Image> Read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Decode(bytes);
}

}  // namespace png
