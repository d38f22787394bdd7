#include "BytePair.h"

#include <algorithm>
#include <array>
#include <optional>
#include <queue>
#include <utility>

namespace {

constexpr std::size_t kMaxBlockSize = 8192;
// A block stops growing before it uses more byte values than this, so codes stay free for
// pairs; data that reaches the limit within the first kilobyte is noise and is not cut.
constexpr int kMaxDistinctBytes = 200;
constexpr std::size_t kMinBlockSize = 1024;
// A pair costs two or three bytes of table: replacing fewer occurrences saves nothing.
constexpr int kMinPairCount = 4;
// The reader's expansion stack holds 256 codes; a pair nested this deep needs about as many.
constexpr int kMaxPairDepth = 200;

std::size_t BlockLength(std::span<const std::uint8_t> data) {
  std::array<bool, 256> seen{};
  int distinct = 0;
  std::size_t length = 0;
  for (; length < data.size() && length < kMaxBlockSize; ++length) {
    const std::uint8_t byte = data[length];
    if (!seen[byte]) {
      if (distinct == kMaxDistinctBytes && length >= kMinBlockSize) break;
      seen[byte] = true;
      ++distinct;
    }
  }
  return length;
}

using PairKey = std::uint16_t;

PairKey KeyOf(std::uint8_t left, std::uint8_t right) { return static_cast<PairKey>(left << 8 | right); }

// How often each adjacent pair occurs and where, kept exact while pairs are replaced, so a
// replacement touches only its own occurrences instead of rescanning the block. Lists may
// hold positions whose pair has changed since; callers check before using one.
class PairIndex {
 public:
  PairIndex() : count_(65536, 0), head_(65536, kNone), tail_(65536, kNone) {}

  void Reset() {
    for (const PairKey key : touched_) {
      count_[key] = 0;
      head_[key] = tail_[key] = kNone;
    }
    touched_.clear();
    for (const PairKey key : grownKeys_) grown_[key] = false;
    grownKeys_.clear();
    nodes_.clear();
    queue_ = {};
  }

  void Add(PairKey key, int position) {
    const int node = static_cast<int>(nodes_.size());
    nodes_.push_back({position, kNone});
    if (head_[key] == kNone) {
      head_[key] = node;
      touched_.push_back(key);
    } else {
      nodes_[static_cast<std::size_t>(tail_[key])].Next = node;
    }
    tail_[key] = node;
    ++count_[key];
    if (!grown_[key]) {
      grown_[key] = true;
      grownKeys_.push_back(key);
    }
  }

  void Remove(PairKey key) { --count_[key]; }

  // The most frequent pair with at least `minimum` occurrences, or nothing. A returned pair
  // leaves the queue; it comes back only if it occurs again later.
  std::optional<PairKey> TakeMostFrequent(int minimum) {
    QueueGrownCounts();
    while (!queue_.empty()) {
      const auto [queued, key] = queue_.top();
      queue_.pop();
      if (queued < minimum) return std::nullopt;
      // A count that fell since it was queued is queued again at its true value.
      if (count_[key] == queued) return key;
      if (count_[key] > 0) queue_.push({count_[key], key});
    }
    return std::nullopt;
  }

  // Queued once per key and round rather than on every increment: a block of zeros would
  // otherwise queue thousands of entries for the one pair.
  void QueueGrownCounts() {
    for (const PairKey key : grownKeys_) {
      queue_.push({count_[key], key});
      grown_[key] = false;
    }
    grownKeys_.clear();
  }

  // Positions in ascending order: each list only ever grows left to right.
  template <typename Visit>
  void ForEachPosition(PairKey key, Visit visit) const {
    // By index: visiting adds nodes to other lists, which may move the pool.
    for (int node = head_[key]; node != kNone; node = nodes_[static_cast<std::size_t>(node)].Next) {
      visit(nodes_[static_cast<std::size_t>(node)].Position);
    }
  }

 private:
  static constexpr int kNone = -1;
  struct Node {
    int Position;
    int Next;
  };

  std::vector<int> count_;
  std::vector<int> head_;
  std::vector<int> tail_;
  std::vector<PairKey> touched_;
  std::vector<bool> grown_ = std::vector<bool>(65536, false);
  std::vector<PairKey> grownKeys_;
  std::vector<Node> nodes_;
  std::priority_queue<std::pair<int, PairKey>> queue_;
};

// The block as a linked list of symbols: merging a pair unlinks its right half, so positions
// stay valid while the block shrinks. The first symbol is never unlinked.
class Symbols {
 public:
  static constexpr int kEnd = -1;

  void Assign(std::span<const std::uint8_t> block) {
    const int length = static_cast<int>(block.size());
    codes_.assign(block.begin(), block.end());
    links_.resize(block.size());
    for (int i = 0; i < length; ++i) links_[Index(i)] = {i - 1, i + 1 < length ? i + 1 : kEnd, true};
  }

  std::uint8_t Code(int at) const { return codes_[Index(at)]; }
  int Next(int at) const { return links_[Index(at)].Next; }
  int Previous(int at) const { return links_[Index(at)].Previous; }
  bool Alive(int at) const { return links_[Index(at)].Alive; }

  void MergeWithNext(int at, std::uint8_t code) {
    const int second = Next(at);
    const int after = Next(second);
    codes_[Index(at)] = code;
    links_[Index(second)].Alive = false;
    links_[Index(at)].Next = after;
    if (after != kEnd) links_[Index(after)].Previous = at;
  }

 private:
  struct Link {
    int Previous;
    int Next;
    bool Alive;
  };
  static std::size_t Index(int at) { return static_cast<std::size_t>(at); }

  std::vector<std::uint8_t> codes_;
  std::vector<Link> links_;
};

class BlockEncoder {
 public:
  explicit BlockEncoder(PairIndex& pairs) : pairs_(pairs) {}

  void Encode(std::span<const std::uint8_t> block, std::vector<std::uint8_t>& out) {
    Start(block);
    while (ReplaceBestPair()) {
    }
    WritePairTable(out);
    WritePacked(out);
  }

 private:
  void Start(std::span<const std::uint8_t> block) {
    symbols_.Assign(block);
    for (int code = 0; code < 256; ++code) left_[code] = static_cast<std::uint8_t>(code);
    used_.fill(false);
    depth_.fill(0);
    for (const std::uint8_t byte : block) used_[byte] = true;
    pairs_.Reset();
    for (std::size_t i = 1; i < block.size(); ++i) pairs_.Add(KeyOf(block[i - 1], block[i]), static_cast<int>(i - 1));
  }

  bool ReplaceBestPair() {
    const auto freeCode = std::find(used_.begin(), used_.end(), false);
    if (freeCode == used_.end()) return false;
    while (const std::optional<PairKey> best = pairs_.TakeMostFrequent(kMinPairCount)) {
      const auto left = static_cast<std::uint8_t>(*best >> 8);
      const auto right = static_cast<std::uint8_t>(*best & 0xFF);
      const int depth = 1 + std::max(depth_[left], depth_[right]);
      if (depth > kMaxPairDepth) continue;
      const auto code = static_cast<std::uint8_t>(freeCode - used_.begin());
      used_[code] = true;
      left_[code] = left;
      right_[code] = right;
      depth_[code] = depth;
      Substitute(*best, code);
      return true;
    }
    return false;
  }

  void Substitute(PairKey pair, std::uint8_t code) {
    pairs_.ForEachPosition(pair, [&](int position) { SubstituteAt(position, pair, code); });
  }

  // Merges the pair starting at `at` into `code`, if it is still there, and moves the counts
  // of the neighbouring pairs over to the new code.
  void SubstituteAt(int at, PairKey pair, std::uint8_t code) {
    const auto left = static_cast<std::uint8_t>(pair >> 8);
    const auto right = static_cast<std::uint8_t>(pair & 0xFF);
    if (!symbols_.Alive(at) || symbols_.Code(at) != left) return;
    const int second = symbols_.Next(at);
    if (second == Symbols::kEnd || symbols_.Code(second) != right) return;
    const int before = symbols_.Previous(at);
    const int after = symbols_.Next(second);

    if (before != Symbols::kEnd) pairs_.Remove(KeyOf(symbols_.Code(before), left));
    if (after != Symbols::kEnd) pairs_.Remove(KeyOf(right, symbols_.Code(after)));
    pairs_.Remove(pair);
    symbols_.MergeWithNext(at, code);
    if (before != Symbols::kEnd) pairs_.Add(KeyOf(symbols_.Code(before), code), before);
    if (after != Symbols::kEnd) pairs_.Add(KeyOf(code, symbols_.Code(after)), at);
  }

  bool IsLiteral(int code) const { return left_[code] == code; }

  int RunLength(int from, bool literal) const {
    int run = 0;
    while (from + run < 256 && run < 128 && IsLiteral(from + run) == literal) ++run;
    return run;
  }

  void WriteEntry(int code, std::vector<std::uint8_t>& out) const {
    out.push_back(left_[code]);
    if (!IsLiteral(code)) out.push_back(right_[code]);
  }

  // A run byte above 127 skips (byte - 127) literal codes and is followed by one entry;
  // a run byte n up to 127 is followed by n + 1 entries.
  void WritePairTable(std::vector<std::uint8_t>& out) const {
    int code = 0;
    while (code < 256) {
      if (IsLiteral(code)) {
        const int skipped = RunLength(code, true);
        out.push_back(static_cast<std::uint8_t>(127 + skipped));
        code += skipped;
        if (code == 256) return;
        WriteEntry(code++, out);
      } else {
        const int pairs = RunLength(code, false);
        out.push_back(static_cast<std::uint8_t>(pairs - 1));
        for (int i = 0; i < pairs; ++i) WriteEntry(code++, out);
      }
    }
  }

  void WritePacked(std::vector<std::uint8_t>& out) const {
    const std::size_t lengthAt = out.size();
    out.resize(lengthAt + 4);
    for (int at = 0; at != Symbols::kEnd; at = symbols_.Next(at)) out.push_back(symbols_.Code(at));
    const auto length = static_cast<std::uint32_t>(out.size() - lengthAt - 4);
    for (int i = 0; i < 4; ++i) out[lengthAt + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
  }

  PairIndex& pairs_;
  Symbols symbols_;
  std::array<std::uint8_t, 256> left_{};
  std::array<std::uint8_t, 256> right_{};
  std::array<bool, 256> used_{};
  std::array<int, 256> depth_{};
};

}  // namespace

std::vector<std::uint8_t> BytePairCompress(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out;
  out.reserve(data.size() / 2 + 64);
  PairIndex pairs;
  BlockEncoder encoder(pairs);
  while (!data.empty()) {
    const std::size_t length = BlockLength(data);
    encoder.Encode(data.first(length), out);
    data = data.subspan(length);
  }
  return out;
}
