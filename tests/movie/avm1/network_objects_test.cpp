// XMLSocket, LocalConnection, Video, NetConnection and NetStream through the calls
// scripts make: what is refused, what is granted, and which versions see them.
#include <gtest/gtest.h>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::FakeHost;

Value make(Vm& vm, const char* cls, std::vector<Value> args = {}) {
  return vm.construct(vm.getMember(vm.global, cls), args);
}

Value call(Vm& vm, const Value& obj, const char* name, std::vector<Value> args = {}) {
  return vm.callMethod(obj, name, args);
}

TEST(NetworkObjects, XmlSocketNeverConnects) {
  FakeHost h(5);
  Vm& vm = h.vm;
  Value socket = make(vm, "XMLSocket");
  ASSERT_TRUE(socket.isObject());
  EXPECT_FALSE(vm.hasOwnProperty(socket.asObject(), "connect"));
  Value ret = call(vm, socket, "connect", {Value("localhost"), Value(1234.0)});
  ASSERT_TRUE(ret.isBool());
  EXPECT_FALSE(ret.asBool());
  EXPECT_TRUE(call(vm, socket, "send", {Value("x")}).isUndefined());
}

TEST(NetworkObjects, LocalConnectionNamesAreHeldUntilClosed) {
  FakeHost h(6);
  Vm& vm = h.vm;
  Value rec = make(vm, "LocalConnection"), other = make(vm, "LocalConnection");
  EXPECT_FALSE(call(vm, rec, "connect").asBool());
  EXPECT_FALSE(call(vm, rec, "connect", {Value(3.0)}).asBool());
  EXPECT_FALSE(call(vm, rec, "connect", {Value("")}).asBool());
  EXPECT_TRUE(call(vm, rec, "connect", {Value("chan")}).asBool());
  EXPECT_FALSE(call(vm, rec, "connect", {Value("second")}).asBool());  // already listening
  EXPECT_FALSE(call(vm, other, "connect", {Value("CHAN")}).asBool());  // name taken
  call(vm, rec, "close");
  EXPECT_TRUE(call(vm, other, "connect", {Value("chan")}).asBool());
  EXPECT_EQ(vm.toString(call(vm, rec, "domain")), "localhost");

  FakeHost h5(5);
  EXPECT_TRUE(h5.vm.getMember(h5.vm.global, "LocalConnection").isUndefined());
}

TEST(NetworkObjects, LocalConnectionSendRefusesItsOwnMethods) {
  FakeHost h(8);
  Vm& vm = h.vm;
  Value snd = make(vm, "LocalConnection");
  EXPECT_TRUE(call(vm, snd, "send", {Value("chan"), Value("work"), Value(1.0)}).asBool());
  EXPECT_FALSE(call(vm, snd, "send", {Value("chan")}).asBool());
  EXPECT_FALSE(call(vm, snd, "send", {Value("chan"), Value(1.0)}).asBool());
  EXPECT_FALSE(call(vm, snd, "send", {Value("chan"), Value("")}).asBool());
  for (const char* reserved : {"send", "Connect", "CLOSE", "domain", "onStatus", "allowDomain"})
    EXPECT_FALSE(call(vm, snd, "send", {Value("chan"), Value(reserved)}).asBool()) << reserved;
}

TEST(VideoObjects, StreamStateAppearsOnlyForAConnectedConnection) {
  FakeHost h(7);
  Vm& vm = h.vm;
  Object* nsProto = vm.getMember(vm.getMember(vm.global, "NetStream"), "prototype").asObject();
  ASSERT_NE(nsProto, nullptr);
  Value nc = make(vm, "NetConnection");
  make(vm, "NetStream", {nc});
  EXPECT_FALSE(vm.hasOwnProperty(nsProto, "currentFps"));  // not connected yet
  EXPECT_FALSE(call(vm, nc, "connect", {Value("rtmp://example.org/app")}).asBool());
  EXPECT_TRUE(call(vm, nc, "connect", {Value::null()}).asBool());
  Value stream = make(vm, "NetStream", {nc});
  EXPECT_TRUE(vm.hasOwnProperty(nsProto, "currentFps"));
  EXPECT_EQ(vm.toNumber(vm.getMember(stream, "time")), 0);
  EXPECT_EQ(vm.typeOf(vm.getMember(stream, "play")), "function");
  EXPECT_EQ(vm.typeOf(vm.getMember(make(vm, "Video"), "attachVideo")), "function");

  FakeHost h5(5);
  EXPECT_TRUE(h5.vm.getMember(h5.vm.global, "Video").isUndefined());
}

}  // namespace
}  // namespace orv::movie::avm1
