#include "Pictures.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "GameAssets.h"
#include "Generate.h"

extern char** environ;

namespace assetgen {
namespace {

namespace fs = std::filesystem;

std::map<std::string, Picture> DrawEverything() {
  std::map<std::string, Picture> byName;
  for (auto group : {ScreenPictures, SpritePictures, SharkPictures, LetteringPictures}) {
    for (Picture& picture : group()) byName.emplace(picture.name, std::move(picture));
  }
  return byName;
}

// The archive holds exactly what the game loads: a drawing nobody loads is a mistake too.
std::vector<Picture> InGameOrder(std::map<std::string, Picture> byName) {
  std::vector<Picture> ordered;
  for (std::string_view name : kArchivePictures) {
    auto found = byName.find(std::string(name));
    if (found == byName.end()) throw std::runtime_error("no drawing for " + std::string(name));
    ordered.push_back(std::move(found->second));
    byName.erase(found);
  }
  if (!byName.empty()) throw std::runtime_error("drawing not loaded by the game: " + byName.begin()->first);
  return ordered;
}

void RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    throw std::runtime_error("cannot run " + args[0]);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error(args[0] + " failed");
  }
}

cairo_surface_t* KeyedSurface(const Image& image, Rgb key) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < image.height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < image.width; ++x) {
      const Rgb& p = image.At(x, y);
      row[x] = p == key ? 0u : 0xFF000000u | p.r << 16 | p.g << 8 | p.b;
    }
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

// Every picture on one sheet over the pool's colour, so the keyed areas are visible.
void WriteContactSheet(const std::vector<Picture>& pictures, const std::string& path) {
  constexpr int kWidth = 1100, kGap = 10, kLabel = 14;
  int x = kGap, y = kGap, rowHeight = 0;
  std::vector<std::pair<int, int>> places;
  for (const Picture& picture : pictures) {
    if (x + picture.image.width + kGap > kWidth) {
      x = kGap;
      y += rowHeight + kLabel + kGap;
      rowHeight = 0;
    }
    places.emplace_back(x, y);
    x += std::max(picture.image.width, 60) + kGap;
    rowHeight = std::max(rowHeight, picture.image.height);
  }
  Canvas sheet(kWidth, y + rowHeight + kLabel + kGap);
  cairo_t* cr = sheet.Cr();
  SetColour(cr, Rgb255(60, 90, 120));
  cairo_paint(cr);
  SelectFont(cr, Face::Proportional, 11);
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const Image& image = pictures[i].image;
    cairo_surface_t* keyed = KeyedSurface(image, pictures[i].name.starts_with("ball") ? Rgb{0, 0, 255} : Rgb{});
    cairo_set_source_surface(cr, keyed, places[i].first, places[i].second);
    cairo_paint(cr);
    cairo_surface_destroy(keyed);
    TextPathOnBaseline(cr, pictures[i].name, places[i].first, places[i].second + image.height + 11);
    SetColour(cr, Rgb255(255, 255, 255));
    cairo_fill(cr);
  }
  if (cairo_surface_write_to_png(sheet.Surface(), path.c_str()) != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace

void GeneratePictures(const PictureJob& job) {
  std::vector<Picture> pictures = InGameOrder(DrawEverything());
  fs::create_directories(job.outDir);
  std::vector<std::string> pack{job.qdatool, "pack", "--compress", job.archive};
  for (const Picture& picture : pictures) {
    const fs::path target = fs::path(job.outDir) / picture.name;
    const fs::path replacement = job.overrideDir.empty() ? fs::path() : fs::path(job.overrideDir) / picture.name;
    if (!replacement.empty() && fs::exists(replacement)) {
      fs::copy_file(replacement, target, fs::copy_options::overwrite_existing);
    } else {
      WriteBmp(target.string(), picture.image);
    }
    pack.push_back(target.string());
  }
  if (!job.preview.empty()) WriteContactSheet(pictures, job.preview);
  RunProgram(pack);
}

}  // namespace assetgen
