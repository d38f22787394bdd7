#include "platform/present.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform::present {

namespace {

std::int64_t FloorDiv(std::int64_t numerator, std::int64_t denominator) {
  const std::int64_t quotient = numerator / denominator;
  return (numerator % denominator != 0 && (numerator < 0) != (denominator < 0)) ? quotient - 1 : quotient;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The largest rectangle of the picture's shape inside the window, centred.
Rect Fit(Size picture, Size window) {
  Rect rect{0, 0, window.width, window.height};
  if (std::int64_t{window.width} * picture.height <= std::int64_t{window.height} * picture.width) {
    rect.height = static_cast<int>(std::int64_t{window.width} * picture.height / picture.width);
  } else {
    rect.width = static_cast<int>(std::int64_t{window.height} * picture.width / picture.height);
  }
  rect.width = std::max(rect.width, 1);
  rect.height = std::max(rect.height, 1);
  rect.x = (window.width - rect.width) / 2;
  rect.y = (window.height - rect.height) / 2;
  return rect;
}

// Rows are added in order: one next to the last run lengthens it.
void AddRow(std::vector<Rows>& runs, int row) {
  if (!runs.empty() && runs.back().last == row) {
    ++runs.back().last;
  } else {
    runs.push_back({row, row + 1});
  }
}

}  // namespace

std::optional<ScaleMode> ParseScaleMode(std::string_view name) {
  for (const ScaleMode mode : kScaleModes) {
    if (EqualsIgnoringCase(name, ScaleModeName(mode))) return mode;
  }
  return std::nullopt;
}

std::string_view ScaleModeName(ScaleMode mode) {
  switch (mode) {
    case ScaleMode::Sharp: return "sharp";
    case ScaleMode::Whole: return "whole";
    case ScaleMode::Stretch: return "stretch";
  }
  return "sharp";
}

std::optional<PresentPath> ForcedPresentPath(const char* forced) {
  if (forced == nullptr) return std::nullopt;
  if (EqualsIgnoringCase(forced, "cpu")) return PresentPath::Cpu;
  if (EqualsIgnoringCase(forced, "renderer")) return PresentPath::Renderer;
  return std::nullopt;
}

PresentPath ChoosePresentPath(std::string_view rendererName, std::string_view glRenderer) {
  if (rendererName == "software") return PresentPath::Cpu;
  std::string lower(glRenderer);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const char* rasteriser : {"llvmpipe", "softpipe", "swrast", "software rasterizer"}) {
    if (lower.find(rasteriser) != std::string::npos) return PresentPath::Cpu;
  }
  return PresentPath::Renderer;
}

std::optional<PresentPath> PathFromXExtensions(const std::vector<std::string>& extensions) {
  // The last is the one vendor driver that renders directly without the Mesa protocols.
  for (const char* direct : {"DRI3", "DRI2", "NV-GLX"}) {
    if (std::find(extensions.begin(), extensions.end(), direct) != extensions.end()) return std::nullopt;
  }
  return PresentPath::Cpu;
}

Placement Place(ScaleMode mode, Size picture, Size window) {
  if (picture.width <= 0 || picture.height <= 0 || window.width <= 0 || window.height <= 0) return {};
  const int factor = std::max(1, std::min(window.width / picture.width, window.height / picture.height));
  const Rect fitted = Fit(picture, window);
  switch (mode) {
    case ScaleMode::Sharp:
      return {fitted, factor};
    case ScaleMode::Whole:
      // A window smaller than the picture has no whole factor: shrink it as stretch does.
      if (window.width < picture.width || window.height < picture.height) return {fitted, 1};
      return {{(window.width - picture.width * factor) / 2, (window.height - picture.height * factor) / 2,
               picture.width * factor, picture.height * factor},
              factor};
    case ScaleMode::Stretch:
      return {fitted, 1};
  }
  return {fitted, 1};
}

Point PictureFromWindow(const Placement& placement, Size picture, int x, int y) {
  const Rect& rect = placement.picture;
  if (rect.width <= 0 || rect.height <= 0) return {x, y};
  return {static_cast<int>(FloorDiv((2 * std::int64_t{x - rect.x} + 1) * picture.width, 2 * std::int64_t{rect.width})),
          static_cast<int>(FloorDiv((2 * std::int64_t{y - rect.y} + 1) * picture.height, 2 * std::int64_t{rect.height}))};
}

std::vector<Scaler::Tap> NearestTaps(int source, int destination) {
  std::vector<Scaler::Tap> taps(static_cast<size_t>(destination));
  for (int i = 0; i < destination; ++i) {
    const int at = static_cast<int>((2 * std::int64_t{i} + 1) * source / (2 * std::int64_t{destination}));
    taps[static_cast<size_t>(i)] = {at, at, 0};
  }
  return taps;
}

// Linear sampling of the picture enlarged by the whole factor, at the centre of each
// destination pixel, with the weight rounded to 1/256 as texture units do.
std::vector<Scaler::Tap> SharpTaps(int source, int destination, int wholeFactor) {
  const std::int64_t enlarged = std::int64_t{source} * wholeFactor;
  const std::int64_t denominator = 2 * std::int64_t{destination};
  std::vector<Scaler::Tap> taps(static_cast<size_t>(destination));
  for (int i = 0; i < destination; ++i) {
    const std::int64_t numerator = (2 * std::int64_t{i} + 1) * enlarged - destination;
    std::int64_t left = 0, right = 0;
    int weight = 0;
    if (numerator > 0) {
      left = numerator / denominator;
      const std::int64_t remainder = numerator % denominator;
      weight = static_cast<int>((512 * remainder + denominator) / (2 * denominator));
      right = std::min(left + 1, enlarged - 1);
      if (weight == 256) left = right, weight = 0;
    }
    Scaler::Tap tap{static_cast<int>(left / wholeFactor), static_cast<int>(right / wholeFactor), weight};
    if (tap.first == tap.second) tap.weight = 0;
    taps[static_cast<size_t>(i)] = tap;
  }
  return taps;
}

void FillBlack(Image window) {
  for (int y = 0; y < window.height; ++y) {
    std::fill_n(window.pixels + static_cast<std::ptrdiff_t>(y) * window.pitch, window.width, 0xFF000000u);
  }
}

std::vector<Rows> ChangedRows::Next(ConstImage picture) {
  const Size size{picture.width, picture.height};
  const bool resized = size != size_;
  const auto width = static_cast<size_t>(std::max(picture.width, 0));
  const size_t rowBytes = width * sizeof(std::uint32_t);
  if (resized) {
    size_ = size;
    last_.assign(width * static_cast<size_t>(std::max(picture.height, 0)), 0);
  }
  std::vector<Rows> changed;
  for (int y = 0; y < picture.height; ++y) {
    const std::uint32_t* row = picture.pixels + static_cast<std::ptrdiff_t>(y) * picture.pitch;
    std::uint32_t* kept = last_.data() + static_cast<size_t>(y) * width;
    if (!resized && std::memcmp(row, kept, rowBytes) == 0) continue;
    std::memcpy(kept, row, rowBytes);
    AddRow(changed, y);
  }
  return changed;
}

void Scaler::Prepare(ScaleMode mode, const Placement& placement, Size source) {
  if (prepared_ && mode == mode_ && placement.picture == placement_.picture &&
      placement.wholeFactor == placement_.wholeFactor && source == source_) {
    return;
  }
  mode_ = mode;
  placement_ = placement;
  source_ = source;
  prepared_ = true;
  const Rect& rect = placement.picture;
  if (mode == ScaleMode::Sharp) {
    columns_ = SharpTaps(source.width, rect.width, placement.wholeFactor);
    rows_ = SharpTaps(source.height, rect.height, placement.wholeFactor);
  } else {
    columns_ = NearestTaps(source.width, rect.width);
    rows_ = NearestTaps(source.height, rect.height);
  }
  pairedColumns_ = static_cast<size_t>(std::count_if(columns_.begin(), columns_.end(),
                                                     [&](const Tap& tap) { return tap.first + 1 < source.width; }));
  columnWeights_.assign(columns_.size() * 4, 0);
  for (size_t i = 0; i < columns_.size(); ++i) {
    std::fill_n(columnWeights_.begin() + static_cast<std::ptrdiff_t>(i * 4), 4, static_cast<std::uint16_t>(columns_[i].weight));
  }
  for (int slot = 0; slot < 2; ++slot) {
    filtered_[slot].assign(columns_.size() * 4, 0);
    filteredRow_[slot] = -1;
  }
}

void Scaler::Draw(ScaleMode mode, const Placement& placement, ConstImage source, Image window) {
  Redraw(mode, placement, source, window, std::array{Rows{0, source.height}});
}

std::vector<Rows> Scaler::Redraw(ScaleMode mode, const Placement& placement, ConstImage source, Image window,
                                 std::span<const Rows> changed) {
  const Rect& rect = placement.picture;
  if (source.width <= 0 || source.height <= 0 || rect.width <= 0 || rect.height <= 0) return {};
  Prepare(mode, placement, {source.width, source.height});
  std::vector<bool> sourceChanged(static_cast<size_t>(source.height));
  for (const Rows& rows : changed) {
    for (int row = std::max(rows.first, 0); row < std::min(rows.last, source.height); ++row) {
      sourceChanged[static_cast<size_t>(row)] = true;
    }
  }
  const auto reads = [&](int row) { return sourceChanged[static_cast<size_t>(row)]; };
  // The source changes every frame: rows filtered for the last one are stale.
  filteredRow_[0] = filteredRow_[1] = -1;
  std::vector<Rows> drawn;
  std::uint32_t* out = window.pixels + static_cast<std::ptrdiff_t>(rect.y) * window.pitch + rect.x;
  const auto rowBytes = static_cast<size_t>(rect.width) * sizeof(std::uint32_t);
  for (int y = 0; y < rect.height; ++y, out += window.pitch) {
    const Tap& tap = rows_[static_cast<size_t>(y)];
    // A row of weight zero reads only its first source row; nearest neighbour has no other.
    if (!reads(tap.first) && (tap.weight == 0 || !reads(tap.second))) continue;
    // A row with the same taps as the one above is drawn whenever that one is.
    if (y > 0 && tap == rows_[static_cast<size_t>(y) - 1]) {
      std::memcpy(out, out - window.pitch, rowBytes);
    } else if (mode_ == ScaleMode::Sharp && tap.weight == 0) {
      NarrowRow(FilteredRow(source, tap.first), out);
    } else if (mode_ == ScaleMode::Sharp) {
      BlendRows(FilteredRow(source, tap.first), FilteredRow(source, tap.second), tap.weight, out);
    } else {
      DrawNearestRow(source.pixels + static_cast<std::ptrdiff_t>(tap.first) * source.pitch, out);
    }
    AddRow(drawn, rect.y + y);
  }
  return drawn;
}

void Scaler::DrawNearestRow(const std::uint32_t* source, std::uint32_t* out) const {
  const size_t count = columns_.size();
  for (size_t x = 0; x < count; ++x) out[x] = source[columns_[x].first];
}

// Adjacent rows have different parity, so the two rows a blend needs never share a slot.
const std::uint16_t* Scaler::FilteredRow(ConstImage source, int row) {
  const int slot = row & 1;
  if (filteredRow_[slot] != row) {
    FilterRow(source.pixels + static_cast<std::ptrdiff_t>(row) * source.pitch, filtered_[slot].data());
    filteredRow_[slot] = row;
  }
  return filtered_[slot].data();
}

// Per channel: (a * 256 + (b - a) * w) / 2, which lies in 0..32640. In 16-bit lanes the
// product wraps, but the sum is exact modulo 2^16 and fits, so the wrap cancels.
void Scaler::FilterRow(const std::uint32_t* source, std::uint16_t* out) const {
  const size_t count = columns_.size();
  size_t x = 0;
#if defined(__SSE2__)
  if (kernel_ == Kernel::Vectorised) {
    const __m128i zero = _mm_setzero_si128();
    // A blended column's second pixel is always the next one, and a column of weight zero
    // ignores its second, so each column's pair is one load: two columns a step, up to the
    // columns whose next pixel lies past the row. Locals, since the stores may alias members.
    const Tap* taps = columns_.data();
    const std::uint16_t* columnWeights = columnWeights_.data();
    const size_t paired = pairedColumns_ & ~size_t{1};
    const auto pair = [&](size_t column) {
      const auto* at = reinterpret_cast<const __m128i*>(source + taps[column].first);
      return _mm_unpacklo_epi8(_mm_loadl_epi64(at), zero);
    };
    for (; x < paired; x += 2) {
      const __m128i one = pair(x), two = pair(x + 1);
      const __m128i left = _mm_unpacklo_epi64(one, two), right = _mm_unpackhi_epi64(one, two);
      const __m128i weights = _mm_loadu_si128(reinterpret_cast<const __m128i*>(columnWeights + x * 4));
      const __m128i sum = _mm_add_epi16(_mm_slli_epi16(left, 8), _mm_mullo_epi16(_mm_sub_epi16(right, left), weights));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x * 4), _mm_srli_epi16(sum, 1));
    }
  }
#endif
  for (; x < count; ++x) {
    const Tap& tap = columns_[x];
    const std::uint32_t a = source[tap.first], b = source[tap.second];
    for (int channel = 0; channel < 4; ++channel) {
      const int left = static_cast<int>((a >> (8 * channel)) & 0xFF), right = static_cast<int>((b >> (8 * channel)) & 0xFF);
      out[x * 4 + static_cast<size_t>(channel)] = static_cast<std::uint16_t>((left * 256 + (right - left) * tap.weight) >> 1);
    }
  }
}

// A blend with weight 0, without the multiplications: (top * 256 + 2^14) >> 15.
void Scaler::NarrowRow(const std::uint16_t* filtered, std::uint32_t* out) const {
  const size_t count = columns_.size();
  size_t x = 0;
#if defined(__SSE2__)
  if (kernel_ == Kernel::Vectorised) {
    const __m128i half = _mm_set1_epi16(64);
    const auto narrow = [&](const std::uint16_t* at) {
      return _mm_srli_epi16(_mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), half), 7);
    };
    for (; x + 4 <= count; x += 4) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(narrow(filtered + x * 4), narrow(filtered + x * 4 + 8)));
    }
  }
#endif
  for (; x < count; ++x) {
    std::uint32_t pixel = 0;
    for (int channel = 0; channel < 4; ++channel) {
      pixel |= static_cast<std::uint32_t>((filtered[x * 4 + static_cast<size_t>(channel)] + 64) >> 7) << (8 * channel);
    }
    out[x] = pixel;
  }
}

// Per channel: (top * (256 - w) + bottom * w) / 2^15, rounded.
void Scaler::BlendRows(const std::uint16_t* top, const std::uint16_t* bottom, int weight, std::uint32_t* out) const {
  const size_t count = columns_.size();
  size_t x = 0;
#if defined(__SSE2__)
  if (kernel_ == Kernel::Vectorised) {
    const __m128i weights = _mm_set1_epi32(static_cast<int>((static_cast<unsigned>(weight) << 16) | static_cast<unsigned>(256 - weight)));
    const __m128i half = _mm_set1_epi32(1 << 14);
    const auto blend = [&](const std::uint16_t* t, const std::uint16_t* b) {
      const __m128i upper = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t));
      const __m128i lower = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
      const __m128i low = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(upper, lower), weights), half), 15);
      const __m128i high = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(upper, lower), weights), half), 15);
      return _mm_packs_epi32(low, high);
    };
    for (; x + 4 <= count; x += 4) {
      const __m128i first = blend(top + x * 4, bottom + x * 4);
      const __m128i second = blend(top + x * 4 + 8, bottom + x * 4 + 8);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(first, second));
    }
  }
#endif
  for (; x < count; ++x) {
    std::uint32_t pixel = 0;
    for (int channel = 0; channel < 4; ++channel) {
      const size_t at = x * 4 + static_cast<size_t>(channel);
      const int value = (top[at] * (256 - weight) + bottom[at] * weight + (1 << 14)) >> 15;
      pixel |= static_cast<std::uint32_t>(value) << (8 * channel);
    }
    out[x] = pixel;
  }
}

}  // namespace platform::present
