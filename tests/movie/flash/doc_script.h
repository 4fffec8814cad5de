// A document class written op by op for the ActionScript 3 display tests, and a player
// that runs it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../abc/abc_writer.h"
#include "movie/avm2_host/movie_scripts.h"
#include "movie/player.h"

namespace orv::movie {

namespace op = test::op;
using test::Code;

// Builds a document class Doc (extending MovieClip) whose constructor runs the code the
// test writes after `super()`, with helpers for the common steps.
struct DocScript {
  test::AbcBuilder abc;
  Code c;
  uint32_t display = abc.packageNs("flash.display");
  std::string className = "Doc";  // the document class's name

  DocScript() { c.op(op::getlocal0).op(op::pushscope).op(op::getlocal0).op(op::constructsuper, 0); }
  uint32_t pub(const std::string& n) { return abc.qname(n); }
  // Pushes a new instance of flash.display.`cls`.
  DocScript& make(const std::string& cls) {
    uint32_t q = abc.qname(display, cls);
    c.op(op::findpropstrict, q).op(op::constructprop, q, 0);
    return *this;
  }
  DocScript& self() {
    c.op(op::getlocal0);
    return *this;
  }
  DocScript& local(uint32_t r) {
    c.op(op::getlocal, r);
    return *this;
  }
  DocScript& store(uint32_t r) {
    c.op(op::setlocal, r);
    return *this;
  }
  DocScript& get(const std::string& n) {
    c.op(op::getproperty, pub(n));
    return *this;
  }
  DocScript& num(int v) {
    c.pushbyte(static_cast<int8_t>(v));
    return *this;
  }
  DocScript& str(const std::string& s) {
    c.op(op::pushstring, abc.string(s));
    return *this;
  }
  // Sets property `n` of the object below the value on the stack.
  DocScript& set(const std::string& n) {
    c.op(op::setproperty, pub(n));
    return *this;
  }
  DocScript& call(const std::string& n, uint32_t argc) {
    c.op(op::callproperty, pub(n), argc);
    return *this;
  }
  DocScript& callVoid(const std::string& n, uint32_t argc) {
    c.op(op::callpropvoid, pub(n), argc);
    return *this;
  }
  // trace(what the pushes in `value` leave).
  template <typename F>
  DocScript& trace(F value) {
    c.op(op::findpropstrict, pub("trace"));
    value();
    c.op(op::callpropvoid, pub("trace"), 1);
    return *this;
  }
  // The class Doc and, optionally, linked symbol classes (name -> traced on construction),
  // which extend `symbolBase` of `symbolPackage`.
  std::vector<uint8_t> abcBytes(const std::vector<std::string>& symbolClasses = {},
                                const std::string& symbolBase = "MovieClip",
                                const std::string& symbolPackage = "flash.display") {
    c.op(op::returnvoid);
    uint32_t movieClip = abc.qname(display, "MovieClip");
    uint32_t symbolSuper = abc.qname(abc.packageNs(symbolPackage), symbolBase);
    std::vector<abc::Trait> traits;
    uint32_t index = 0;
    Code init;
    init.op(op::getlocal0).op(op::pushscope);
    auto define = [&](const std::string& name, const Code& body, uint32_t base) {
      uint32_t q = abc.qname(name);
      uint32_t iinit = abc.method();
      abc.body(iinit, body, {.maxStack = 12, .localCount = 6});
      abc.defineClass({.name = q, .superName = base, .iinit = iinit, .cinit = abc.emptyMethod()});
      init.op(op::getscopeobject, 0).op(op::getlex, base).op(op::newclass, index);
      init.op(op::initproperty, q);
      traits.push_back(abc.classTrait(q, index++));
    };
    define(className, c, movieClip);
    for (const std::string& name : symbolClasses) {
      Code body;
      body.op(op::getlocal0).op(op::pushscope).op(op::getlocal0).op(op::constructsuper, 0);
      body.op(op::findpropstrict, pub("trace")).op(op::pushstring, abc.string(name + " made"));
      body.op(op::callpropvoid, pub("trace"), 1).op(op::returnvoid);
      define(name, body, symbolSuper);
    }
    init.op(op::returnvoid);
    uint32_t script = abc.method();
    abc.body(script, init, {.maxStack = 4});
    abc.script(script, traits);
    return abc.bytes();
  }
};

struct Played {
  std::vector<std::string> lines;
  std::vector<std::string> errors;
};

inline Played play(const std::vector<uint8_t>& swf, int frames = 1) {
  Played r;
  Player player;
  player.setTraceSink([&](const std::string& l) { r.lines.push_back(l); });
  EXPECT_TRUE(player.loadBytes(swf));
  player.start();
  if (frames > 1) player.advance(player.framePeriodMs() * (frames - 1));
  if (player.as3Scripts()) r.errors = player.as3Scripts()->errors();
  return r;
}

// A movie played from a folder of its own, with the files it may load beside it.
struct MovieFolder {
  std::filesystem::path root =
      std::filesystem::temp_directory_path() /
      ("orvanta_movie_folder_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
  MovieFolder() {
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
  }
  ~MovieFolder() { std::filesystem::remove_all(root); }
  void put(const std::string& name, const std::string& bytes) {
    std::ofstream(root / name, std::ios::binary) << bytes;
  }
  Played run(const std::vector<uint8_t>& swf, int frames) {
    put("movie.swf", std::string(swf.begin(), swf.end()));
    Played r;
    Player player;
    player.setTraceSink([&](const std::string& line) { r.lines.push_back(line); });
    EXPECT_TRUE(player.load((root / "movie.swf").string()));
    player.start();
    player.advance(player.framePeriodMs() * (frames - 1));
    if (player.as3Scripts()) r.errors = player.as3Scripts()->errors();
    return r;
  }
};

}  // namespace orv::movie
