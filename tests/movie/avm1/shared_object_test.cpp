// SharedObject.getLocal through the calls scripts make: data a movie flushes is found
// again by the next run of the same movie, and only by it; what cannot be kept is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::FakeHost;

Value call(Vm& vm, const Value& obj, const char* name, std::vector<Value> args = {}) {
  return vm.callMethod(obj, name, args);
}

// A run of the movie at `url`: a fresh script engine, as when the movie is opened anew.
struct MovieRun {
  explicit MovieRun(const std::string& url, int version = 8) : host(version) {
    host.root.movieUrl = url;
  }
  Value getLocal(std::vector<Value> args) {
    return call(host.vm, host.vm.getMember(host.vm.global, "SharedObject"), "getLocal",
                std::move(args));
  }
  Value data(const Value& so) { return host.vm.getMember(so, "data"); }
  Value at(const Value& obj, const char* path) {
    Value v = obj;
    std::string rest = path;
    for (size_t dot; !rest.empty(); rest = dot == std::string::npos ? "" : rest.substr(dot + 1)) {
      dot = rest.find('.');
      v = host.vm.getMember(v, rest.substr(0, dot));
    }
    return v;
  }
  FakeHost host;
};

TEST(SharedObjects, FlushedDataIsFoundByTheNextRunOfTheSameMovieOnly) {
  const std::string movie = "file:///games/flushed.swf";
  {
    MovieRun run(movie);
    Vm& vm = run.host.vm;
    Value so = run.getLocal({Value("game")});
    ASSERT_TRUE(so.isObject());
    EXPECT_EQ(run.getLocal({Value("game")}).asObject(), so.asObject()) << "one object per name";
    Object* data = run.data(so).asObject();
    ASSERT_NE(data, nullptr);
    vm.setMember(data, "score", Value(42));
    vm.setMember(data, "name", Value("Ann"));
    vm.setMember(data, "list", Value(vm.newArray({Value(1), Value("two"), Value(true)})));
    Value time(1000.0);
    vm.setMember(data, "when",
                 vm.construct(vm.getMember(vm.global, "Date"), std::span<Value>(&time, 1)));
    Object* nested = vm.newObject();
    Object* inner = vm.newObject();
    vm.setMember(inner, "b", Value::null());
    vm.setMember(nested, "a", Value(inner));
    vm.setMember(data, "nested", Value(nested));
    vm.setMember(data, "self", Value(data));  // a cycle is kept once, not forever
    vm.setMember(data, "clip", vm.getMember(vm.global, "Object"));  // functions are not data
    EXPECT_TRUE(call(vm, so, "flush").asBool());
    vm.setMember(data, "unsaved", Value(1));
    EXPECT_GT(vm.toNumber(call(vm, so, "getSize")), 20);
    // Another name, and the same name under another path, are other objects.
    EXPECT_TRUE(run.at(run.getLocal({Value("other")}), "data.score").isUndefined());
    EXPECT_NE(run.getLocal({Value("game"), Value("/")}).asObject(), so.asObject());
  }
  MovieRun again(movie);
  Vm& vm = again.host.vm;
  Value data = again.data(again.getLocal({Value("game")}));
  EXPECT_EQ(vm.toNumber(again.at(data, "score")), 42);
  EXPECT_EQ(vm.toString(again.at(data, "name")), "Ann");
  EXPECT_EQ(vm.toString(again.at(data, "list")), "1,two,true");
  EXPECT_EQ(vm.toNumber(again.at(data, "list.length")), 3);
  EXPECT_EQ(vm.toNumber(call(vm, again.at(data, "when"), "getTime")), 1000);
  EXPECT_TRUE(again.at(data, "nested.a.b").isNull());
  EXPECT_TRUE(again.at(data, "self").isObject());
  EXPECT_TRUE(again.at(data, "clip").isUndefined());
  EXPECT_EQ(vm.toNumber(again.at(data, "unsaved")), 1) << "the movie's end writes what it holds";

  MovieRun otherMovie("file:///games/another.swf");
  EXPECT_TRUE(otherMovie.at(otherMovie.getLocal({Value("game")}), "data.score").isUndefined());
}

TEST(SharedObjects, ClearForgetsKeptData) {
  const std::string movie = "file:///games/cleared.swf";
  {
    MovieRun run(movie);
    Value so = run.getLocal({Value("save")});
    run.host.vm.setMember(run.data(so).asObject(), "level", Value(3));
    EXPECT_TRUE(call(run.host.vm, so, "flush").asBool());
    call(run.host.vm, so, "clear");
    EXPECT_TRUE(run.at(so, "data.level").isUndefined());
  }
  MovieRun again(movie);
  EXPECT_TRUE(again.at(again.getLocal({Value("save")}), "data.level").isUndefined());
}

TEST(SharedObjects, BadNamesRemoteObjectsAndTooMuchDataAreRefused) {
  MovieRun run("file:///games/refused.swf");
  Vm& vm = run.host.vm;
  for (Value name : {Value(""), Value("a b"), Value("x:y"), Value("50%"), Value(5), Value()})
    EXPECT_TRUE(run.getLocal({name}).isNull()) << vm.toString(name);
  EXPECT_TRUE(call(vm, vm.getMember(vm.global, "SharedObject"), "getRemote",
                   {Value("x"), Value("rtmp://h/app")})
                  .isNull());

  Value so = run.getLocal({Value("big")});
  Object* data = run.data(so).asObject();
  const std::string chunk(64 * 1024, 'x');
  for (int i = 0; i < 20; ++i) vm.setMember(data, "s" + std::to_string(i), Value(chunk));
  EXPECT_FALSE(call(vm, so, "flush").asBool()) << "over a megabyte is not kept";
  MovieRun again("file:///games/refused.swf");
  EXPECT_TRUE(again.at(again.getLocal({Value("big")}), "data.s0").isUndefined());

  // Deeply nested data ends in a refusal, not in a crash.
  Value deepSo = run.getLocal({Value("deep")});
  Object* o = run.data(deepSo).asObject();
  for (int i = 0; i < 10000; ++i) {
    Object* next = vm.newObject();
    vm.setMember(o, "n", Value(next));
    o = next;
  }
  EXPECT_FALSE(call(vm, deepSo, "flush").asBool());

  FakeHost v5(5);
  EXPECT_TRUE(v5.vm.getMember(v5.vm.global, "SharedObject").isUndefined());
}

TEST(SharedObjects, TheMoviesEndWritesOpenObjectsThatHoldDataAndLeavesUnreadableFilesAlone) {
  const std::string movie = "file:///games/ending.swf";
  {
    MovieRun run(movie);
    Vm& vm = run.host.vm;
    vm.setMember(run.data(run.getLocal({Value("progress")})).asObject(), "stage", Value(7));
    run.getLocal({Value("untouched")});  // opened, nothing in it, never flushed
  }
  auto& saved = FakeHost::savedObjects();
  EXPECT_EQ(saved.count(movie + "\n\nuntouched"), 0u) << "an empty object writes nothing";
  {
    MovieRun again(movie);
    EXPECT_EQ(again.host.vm.toNumber(again.at(again.getLocal({Value("progress")}), "data.stage")),
              7);
  }

  // A broken file reads as an empty object and stays as it is until the movie flushes.
  const std::string key = movie + "\n\nbroken";
  const std::vector<uint8_t> broken = {0x00, 0xBF, 0x00, 0x00, 0x10, 'x', 'y'};
  saved[key] = broken;
  {
    MovieRun run(movie);
    Value so = run.getLocal({Value("broken")});
    ASSERT_TRUE(so.isObject());
    EXPECT_TRUE(run.host.vm.enumerableNames(run.data(so).asObject()).empty());
    run.host.vm.setMember(run.data(so).asObject(), "x", Value(1));
  }
  EXPECT_EQ(saved[key], broken) << "not overwritten at the movie's end";
  {
    MovieRun run(movie);
    Value so = run.getLocal({Value("broken")});
    run.host.vm.setMember(run.data(so).asObject(), "x", Value(2));
    EXPECT_TRUE(call(run.host.vm, so, "flush").asBool());
  }
  MovieRun last(movie);
  EXPECT_EQ(last.host.vm.toNumber(last.at(last.getLocal({Value("broken")}), "data.x")), 2);
}

}  // namespace
}  // namespace orv::movie::avm1
