// Helpers for script tests: an action assembler and an in-memory host with one root clip.
#pragma once

#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "movie/avm1/host.h"
#include "movie/avm1/vm.h"
#include "movie/render/movie_renderer.h"
#include "movie/render/placed_effects.h"
#include "movie/saves/save_store.h"
#include "movie/saves/sol_file.h"

namespace orv::movie::avm1::test {

struct Reg {
  uint8_t n;
};
struct Null {};
struct Undef {};
using PushItem = std::variant<std::string, const char*, double, int, bool, Null, Undef, Reg>;

// Builds action bytes: `Asm().push({1, 2}).op(0x47).op(0x26).bytes()`.
class Asm {
 public:
  Asm& op(uint8_t code) {
    b_.push_back(code);
    return *this;
  }
  Asm& action(uint8_t code, const std::vector<uint8_t>& payload) {
    b_.push_back(code);
    b_.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
    b_.push_back(static_cast<uint8_t>(payload.size() >> 8));
    b_.insert(b_.end(), payload.begin(), payload.end());
    return *this;
  }
  Asm& push(std::initializer_list<PushItem> items) {
    std::vector<uint8_t> p;
    for (auto& it : items) {
      if (auto* s = std::get_if<std::string>(&it)) {
        p.push_back(0);
        str(p, *s);
      } else if (auto* cs = std::get_if<const char*>(&it)) {
        p.push_back(0);
        str(p, *cs);
      } else if (auto* d = std::get_if<double>(&it)) {
        p.push_back(6);
        uint64_t bits;
        std::memcpy(&bits, d, 8);
        uint32_t hi = static_cast<uint32_t>(bits >> 32), lo = static_cast<uint32_t>(bits);
        u32(p, hi);
        u32(p, lo);
      } else if (auto* i = std::get_if<int>(&it)) {
        p.push_back(7);
        u32(p, static_cast<uint32_t>(*i));
      } else if (auto* bo = std::get_if<bool>(&it)) {
        p.push_back(5);
        p.push_back(*bo ? 1 : 0);
      } else if (std::holds_alternative<Null>(it))
        p.push_back(2);
      else if (std::holds_alternative<Undef>(it))
        p.push_back(3);
      else if (auto* r = std::get_if<Reg>(&it)) {
        p.push_back(4);
        p.push_back(r->n);
      }
    }
    return action(0x96, p);
  }
  Asm& trace() { return op(0x26); }
  Asm& getVar(const std::string& n) { return push({n}).op(0x1C); }
  Asm& setVar(const std::string& n, PushItem v) { return push({n, v}).op(0x1D); }
  Asm& traceVar(const std::string& n) { return getVar(n).trace(); }
  // DefineFunction with its body appended.
  Asm& function(const std::string& name, std::vector<std::string> params, const Asm& body) {
    std::vector<uint8_t> p;
    str(p, name);
    u16(p, static_cast<uint16_t>(params.size()));
    for (auto& s : params) str(p, s);
    u16(p, static_cast<uint16_t>(body.b_.size()));
    action(0x9B, p);
    b_.insert(b_.end(), body.b_.begin(), body.b_.end());
    return *this;
  }
  // DefineFunction2: params are (register, name) pairs.
  Asm& function2(const std::string& name, uint8_t regs, uint16_t flags,
                 std::vector<std::pair<uint8_t, std::string>> params, const Asm& body) {
    std::vector<uint8_t> p;
    str(p, name);
    u16(p, static_cast<uint16_t>(params.size()));
    p.push_back(regs);
    u16(p, flags);
    for (auto& [r, n] : params) {
      p.push_back(r);
      str(p, n);
    }
    u16(p, static_cast<uint16_t>(body.b_.size()));
    action(0x8E, p);
    b_.insert(b_.end(), body.b_.begin(), body.b_.end());
    return *this;
  }
  Asm& jump(int16_t off) {
    return action(0x99,
                  {static_cast<uint8_t>(off & 0xFF), static_cast<uint8_t>((off >> 8) & 0xFF)});
  }
  Asm& ifTrue(int16_t off) {
    return action(0x9D,
                  {static_cast<uint8_t>(off & 0xFF), static_cast<uint8_t>((off >> 8) & 0xFF)});
  }
  Asm& append(const Asm& other) {
    b_.insert(b_.end(), other.b_.begin(), other.b_.end());
    return *this;
  }
  size_t size() const { return b_.size(); }
  std::vector<uint8_t> bytes() const {
    auto v = b_;
    v.push_back(0);
    return v;
  }
  const std::vector<uint8_t>& raw() const { return b_; }

  static void str(std::vector<uint8_t>& p, const std::string& s) {
    p.insert(p.end(), s.begin(), s.end());
    p.push_back(0);
  }
  static void u16(std::vector<uint8_t>& p, uint16_t v) {
    p.push_back(v & 0xFF);
    p.push_back(v >> 8);
  }
  static void u32(std::vector<uint8_t>& p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p.push_back((v >> (8 * i)) & 0xFF);
  }

 private:
  std::vector<uint8_t> b_;
};

// A clip tree kept in memory: enough for paths, properties and timeline calls.
class FakeClip : public ScriptClip {
 public:
  FakeClip(std::string name, FakeClip* parent, int frames = 1)
      : name_(std::move(name)), parent_(parent), frames_(frames) {}
  std::string name() const override { return name_; }
  void setName(const std::string& n) override { name_ = n; }
  std::string url() const override { return movieUrl; }
  ScriptClip* parent() override { return parent_; }
  ScriptClip* childByName(std::string_view n, bool ci) override {
    for (auto& c : kids_) {
      std::string a = c->name_, b(n);
      if (ci) {
        for (auto& ch : a) ch = static_cast<char>(tolower(ch));
        for (auto& ch : b) ch = static_cast<char>(tolower(ch));
      }
      if (a == b) return c.get();
    }
    return nullptr;
  }
  std::vector<ScriptClip*> children() override {
    std::vector<ScriptClip*> v;
    for (auto& c : kids_) v.push_back(c.get());
    return v;
  }
  int level() const override { return parent_ ? -1 : 0; }
  double getProperty(ClipProperty p) override { return props_[static_cast<int>(p)]; }
  void setProperty(ClipProperty p, double v) override { props_[static_cast<int>(p)] = v; }
  void gotoFrame(int f, bool play) override {
    frame_ = std::min(std::max(f, 0), frames_ - 1);
    playing_ = play;
  }
  bool gotoLabel(std::string_view l, bool play) override {
    if (l != "label") return false;
    gotoFrame(2, play);
    return true;
  }
  void play() override { playing_ = true; }
  void stop() override { playing_ = false; }
  int currentFrame() override { return frame_; }
  int totalFrames() override { return frames_; }
  ScriptClip* duplicate(const std::string& n, int d) override {
    if (!parent_) return nullptr;
    return parent_->add(n, d);
  }
  ScriptClip* attachMovie(const std::string&, const std::string& n, int d) override {
    return add(n, d);
  }
  ScriptClip* createEmptyMovieClip(const std::string& n, int d) override { return add(n, d); }
  bool removeSelf() override { return false; }
  int depth() override { return depth_; }
  FakeClip* add(const std::string& n, int d, int frames = 1) {
    kids_.push_back(std::make_unique<FakeClip>(n, this, frames));
    kids_.back()->depth_ = d;
    return kids_.back().get();
  }

  bool playing_ = true;
  int frame_ = 0;
  std::string movieUrl;

 private:
  std::string name_;
  FakeClip* parent_;
  int frames_;
  int depth_ = 0;
  std::map<int, double> props_;
  std::vector<std::unique_ptr<FakeClip>> kids_;
};

class FakeHost : public ScriptHost {
 public:
  explicit FakeHost(int version = 7, ScriptLimits limits = {})
      : root("", nullptr, 5), vm(*this, version, limits) {}
  ~FakeHost() override { vm.endMovie(); }
  ScriptClip* level(int n) override { return n == 0 ? &root : nullptr; }
  // Shared objects, kept as .sol bytes for the rest of the test program by movie, local
  // path and name, so that a later FakeHost for the same movie finds them.
  static std::map<std::string, std::vector<uint8_t>>& savedObjects() {
    static std::map<std::string, std::vector<uint8_t>> saved;
    return saved;
  }
  std::string saveKey(const std::string& name, const std::string& localPath) const {
    return root.movieUrl + "\n" + localPath + "\n" + name;
  }
  SharedObjectData loadSharedObject(const std::string& name,
                                    const std::string& localPath) override {
    if (!saves::SaveStore::validName(name)) return {.refused = true};
    auto it = savedObjects().find(saveKey(name, localPath));
    if (it == savedObjects().end()) return {};
    std::optional<saves::SolFile> file = saves::readSol(it->second);
    const bool unreadable = !file;
    return {.data = std::move(file), .unreadable = unreadable};
  }
  bool saveSharedObject(const std::string& name, const std::string& localPath,
                        const saves::SolFile& data) override {
    savedObjects()[saveKey(name, localPath)] = saves::writeSol(data);
    return true;
  }
  void removeSharedObject(const std::string& name, const std::string& localPath) override {
    savedObjects().erase(saveKey(name, localPath));
  }
  void trace(std::string_view s) override { out += std::string(s) + "\n"; }
  double timerMs() override { return now; }
  // BitmapData.draw of another BitmapData is drawn by the renderer, as on the stage.
  void drawBitmap(const std::shared_ptr<render::Bitmap>& source, const ScriptClip::Matrix& m,
                  const render::ColorTransform& color, bool smooth,
                  render::Bitmap& target) override {
    render::MovieRenderer::drawPixelsOnto(source, {m.a, m.b, m.c, m.d, m.tx, m.ty}, color, smooth,
                                          target);
  }

  // BitmapData.applyFilter runs filters as the stage does.
  bool rasterFilter(const base::FilterSettings& filter, render::Filter& out,
                    std::vector<std::shared_ptr<const render::Bitmap>>& maps) override {
    return render::rasterFilterOf(filter, out, maps);
  }

  // Runs the actions on the root and returns what they traced.
  std::string run(const Asm& code) {
    out.clear();
    vm.runActions(&root, code.bytes());
    return out;
  }

  FakeClip root;
  Vm vm;
  std::string out;
  double now = 0;
};

// obj.method(args), its result dropped; the arguments are given last first.
inline Asm& callMethod(Asm& a, const std::string& obj, const std::string& method,
                       std::initializer_list<PushItem> argsLastFirst) {
  a.push(argsLastFirst)
      .push({int(argsLastFirst.size())})
      .getVar(obj)
      .push({method})
      .op(0x52)
      .op(0x17);
  return a;
}

}  // namespace orv::movie::avm1::test
