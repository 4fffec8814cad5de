// The script engine on the real timeline: frame actions run as frames are entered and
// trace output reaches the stage's sink.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "movie/script/timeline_bridge.h"
#include "movie/stage.h"
#include "movie/swf/reader.h"

namespace orv::movie::script {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string runOnStage(const fs::path& dir, int frames) {
    std::string bytes = slurp(dir / "test.swf");
    auto movie = swf::readMovie(std::vector<uint8_t>(bytes.begin(), bytes.end())).movie;
    if (!movie) return "<unreadable>";
    Stage stage(movie);
    std::string out;
    stage.traceSink = [&out](const std::string& line) {
        // One trace line per line of text, whichever line end the movie wrote.
        for (char c : line) out += c == '\r' ? '\n' : c;
        out += "\n";
    };
    TimelineBridge bridge(stage);
    stage.setListener(&bridge);
    stage.root().gotoFrame(0);
    stage.dispatchEvents();
    for (int i = 1; i < frames; ++i) {
        bridge.beforeTick();
        stage.tick();
        bridge.afterTick();
        bridge.clockMs += 1000.0 / 12;
    }
    return out;
}

TEST(TimelineBridge, CorpusMoviesTraceOnTheRealTimeline) {
    fs::path root = fs::path(ORV_CORPUS_DIR) / "from_gnash";
    if (!fs::exists(root)) GTEST_SKIP() << "corpus not present";
    for (const char* name : {"misc-swfc.all/hello", "misc-mtasc.all/inheritance", "misc-mtasc.all/enum"}) {
        std::string expected = slurp(root / name / "output.txt");
        EXPECT_EQ(runOnStage(root / name, 5), expected) << name;
    }
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string l = text.substr(pos, nl - pos);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        out.push_back(l);
        pos = nl + 1;
    }
    while (!out.empty() && out.back().empty()) out.pop_back();
    return out;
}

int framesOf(const fs::path& toml) {
    std::string text = slurp(toml);
    for (const char* key : {"num_frames", "num_ticks"}) {
        size_t at = text.find(key);
        if (at != std::string::npos && text.find('=', at) != std::string::npos)
            return std::atoi(text.c_str() + text.find('=', at) + 1);
    }
    return 1;
}

// The whole trace corpus on the player's own timeline (ORV_CORPUS_REAL=1; with
// ORV_CORPUS_ONLY / ORV_CORPUS_VERBOSE / ORV_CORPUS_DUMP as the corpus runner takes them).
TEST(TimelineBridge, CorpusFiguresOnTheRealTimeline) {
    fs::path root = fs::path(ORV_CORPUS_DIR) / "from_gnash";
    if (!std::getenv("ORV_CORPUS_REAL") || !fs::exists(root)) GTEST_SKIP();
    const char* only = std::getenv("ORV_CORPUS_ONLY");
    std::vector<fs::path> dirs;
    for (auto& e : fs::recursive_directory_iterator(root))
        if (e.path().filename() == "output.txt" && fs::exists(e.path().parent_path() / "test.swf"))
            dirs.push_back(e.path().parent_path());
    std::sort(dirs.begin(), dirs.end());
    size_t exact = 0, total = 0;
    for (auto& dir : dirs) {
        std::string name = fs::relative(dir, root).string();
        if (only && name.find(only) == std::string::npos) continue;
        ++total;
        auto expected = splitLines(slurp(dir / "output.txt"));
        auto got = splitLines(runOnStage(dir, framesOf(dir / "test.toml")));
        bool match = got == expected;
        exact += match;
        if (std::getenv("ORV_CORPUS_VERBOSE")) std::printf("%-60s %s\n", name.c_str(), match ? "MATCH" : "diff");
        if (only && std::getenv("ORV_CORPUS_DUMP")) for (auto& l : got) std::printf("%s\n", l.c_str());
    }
    std::printf("real timeline: %zu of %zu trace outputs match exactly\n", exact, total);
}

}  // namespace
}  // namespace orv::movie::script
