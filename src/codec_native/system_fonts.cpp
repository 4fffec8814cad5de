// The font seam natively: the TrueType files under the usual font folders, indexed by
// family and style the first time a family is asked for.
#include "movie/codec/system_fonts.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>
#include <system_error>

#include "movie/font/truetype.h"

namespace orv::movie::codec {

namespace {

constexpr size_t kMaxFontFiles = 4000;

struct InstalledFont {
  std::string family;  // lower case
  bool bold = false, italic = false;
  int weight = 400;
  std::filesystem::path path;
};

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size == 0 || size > kMaxFontFileBytes) return {};
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> data(size);
  if (!in.read(reinterpret_cast<char*>(data.data()), std::streamsize(size))) return {};
  return data;
}

std::vector<std::filesystem::path> fontFolders() {
  std::vector<std::filesystem::path> folders = {"/usr/share/fonts", "/usr/local/share/fonts"};
  if (const char* home = std::getenv("HOME"); home && *home) {
    folders.push_back(std::filesystem::path(home) / ".local/share/fonts");
    folders.push_back(std::filesystem::path(home) / ".fonts");
  }
  return folders;
}

const std::vector<InstalledFont>& installedFonts() {
  static const std::vector<InstalledFont> fonts = [] {
    std::vector<InstalledFont> found;
    size_t files = 0;
    for (const auto& folder : fontFolders()) {
      std::error_code ec;
      auto it = std::filesystem::recursive_directory_iterator(
          folder, std::filesystem::directory_options::skip_permission_denied, ec);
      for (; !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec) || ++files > kMaxFontFiles) continue;
        const std::string ext = lower(it->path().extension().string());
        if (ext != ".ttf" && ext != ".ttc") continue;
        const std::vector<uint8_t> data = readFile(it->path());
        const uint32_t count = font::TrueTypeFont::fontsIn(data);
        for (uint32_t i = 0; i < count && i < 64; ++i)
          if (auto f = font::TrueTypeFont::parse(data, i))
            found.push_back({lower(f->family()), f->bold(), f->italic(), f->weight(), it->path()});
      }
    }
    // The same order on every machine whatever order the folders list in.
    std::sort(found.begin(), found.end(),
              [](const InstalledFont& a, const InstalledFont& b) { return a.path < b.path; });
    return found;
  }();
  return fonts;
}

}  // namespace

std::vector<uint8_t> systemFontData(const std::string& family, bool bold, bool italic) {
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  const std::string wanted = lower(family);
  const InstalledFont* best = nullptr;
  int bestScore = std::numeric_limits<int>::min();
  for (const InstalledFont& f : installedFonts()) {
    if (f.family != wanted) continue;
    // Style first, then the weight nearest regular or bold.
    const int score = (f.bold == bold ? 4000 : 0) + (f.italic == italic ? 2000 : 0) -
                      std::abs(f.weight - (bold ? 700 : 400));
    if (score > bestScore) bestScore = score, best = &f;
  }
  return best ? readFile(best->path) : std::vector<uint8_t>{};
}

}  // namespace orv::movie::codec
