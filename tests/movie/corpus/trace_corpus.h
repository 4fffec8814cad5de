#pragma once
// What the trace-output corpus runners share: reading a case's files, running it on the
// player with its recorded input, and the passing lists that make a regression fail.
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace orv::movie::corpus {

std::string slurp(const std::filesystem::path& p);
// The frames (or ticks) a case runs for, from its test.toml; 1 when it names none.
int framesToRun(const std::filesystem::path& toml);
// Whether the case's test.toml marks it as one the reference emulator fails.
bool knownFailure(const std::filesystem::path& toml);
// Lines of a trace text, without a trailing carriage return and trailing empty lines.
std::vector<std::string> lines(const std::string& text);

// Loads dir/test.swf from its file, plays it for `frames` frames, giving each tick the
// input recorded in dir/input.json, and returns what it traced.
std::vector<std::string> traceOnPlayer(const std::filesystem::path& dir, int frames);

// A passing list beside the runner (tests/movie/<folder>/<file>): the cases that must
// keep matching. '#' starts a comment line.
std::set<std::string> readPassingList(const std::filesystem::path& file);
void writePassingList(const std::filesystem::path& file, const std::string& heading,
                      const std::vector<std::string>& names);

// Plays every case below `suite` that has an output.txt with `run`, prints how many match
// exactly (and, for suites that print them, how many PASSED lines of the reference's
// appear), and fails for each case of `passingList` that no longer matches.
// ORV_CORPUS_ONLY (a part of the case's name, or the whole name followed by a '$'), ORV_CORPUS_VERBOSE, ORV_CORPUS_DUMP and
// ORV_CORPUS_WRITE (rewrite the list) help when working on a case.
using TraceRunner =
    std::function<std::vector<std::string>(const std::filesystem::path& dir, int frames)>;
void checkTraceSuite(const std::string& title, const std::filesystem::path& suite,
                     const std::filesystem::path& passingList, const TraceRunner& run);

}  // namespace orv::movie::corpus
