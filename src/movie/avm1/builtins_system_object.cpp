// System: what the player tells a movie about the machine it runs on (capabilities), the
// security calls a local desktop player accepts, and the settings switches.
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "movie/avm1/host_builtins.h"
#include "movie/avm1/native_table.h"

namespace orv::movie::avm1 {

namespace {

// One capability: its property name, its value, and its key in serverString.
struct Capability {
  const char* name;
  Value value;
  const char* serverKey;
};

std::string serverValue(Vm& vm, const Value& v) {
  if (v.isBool()) return v.asBool() ? "t" : "f";
  std::string text = vm.toString(v), out;
  // serverString escapes what a query string cannot hold, as escape() does.
  const char* hex = "0123456789ABCDEF";
  for (unsigned char ch : text) {
    if (std::isalnum(ch) || ch == '-' || ch == '_' || ch == '.')
      out += static_cast<char>(ch);
    else {
      out += '%';
      out += hex[ch >> 4];
      out += hex[ch & 15];
    }
  }
  return out;
}

std::vector<Capability> capabilities() {
  const double width = 1024, height = 768;
  // A desktop player without camera, microphone, printer support, network or video.
  return {
      {"avHardwareDisable", true, "AVD"},
      {"hasAccessibility", false, "ACC"},
      {"hasAudio", true, "A"},
      {"hasAudioEncoder", false, "AE"},
      {"hasEmbeddedVideo", false, "EV"},
      {"hasIME", false, "IME"},
      {"hasMP3", true, "MP3"},
      {"hasPrinting", false, "PR"},
      {"hasScreenBroadcast", false, "SB"},
      {"hasScreenPlayback", false, "SP"},
      {"hasStreamingAudio", false, "SA"},
      {"hasStreamingVideo", false, "SV"},
      {"hasTLS", false, "TLS"},
      {"hasVideoEncoder", false, "VE"},
      {"isDebugger", false, "DEB"},
      {"language", "en", "L"},
      {"localFileReadDisable", false, "LFD"},
      {"manufacturer", "Orvanta Windows", "M"},
      {"os", "Windows", "OS"},
      {"pixelAspectRatio", 1.0, "AR"},
      {"playerType", "StandAlone", "PT"},
      {"screenColor", "color", "COL"},
      {"screenDPI", 72.0, "DP"},
      {"screenResolutionX", width, "R"},
      {"screenResolutionY", height, nullptr},
      {"version", kPlayerVersion, "V"},
      {"windowlessDisable", true, "WD"},
  };
}

std::string serverString(Vm& vm, const std::vector<Capability>& caps) {
  std::string out;
  Value width, height;
  for (const Capability& c : caps) {
    if (std::string(c.name) == "screenResolutionX") width = c.value;
    if (std::string(c.name) == "screenResolutionY") height = c.value;
  }
  for (const Capability& c : caps) {
    if (!c.serverKey) continue;
    if (!out.empty()) out += '&';
    out += c.serverKey;
    out += '=';
    if (std::string(c.serverKey) == "R")
      out += vm.toString(width) + "x" + vm.toString(height);
    else
      out += serverValue(vm, c.value);
  }
  return out;
}

// A local player has no domains to open up: every request names one and is granted.
Value allowDomain(Vm&, CallInfo& c) { return Value(!c.args.empty()); }

constexpr NativeMember kSecurity[] = {
    method("allowDomain", allowDomain),
    method("allowInsecureDomain", allowDomain),
    method("loadPolicyFile", nothing),
    // A movie played from a file reads local files and nothing on the network.
    constant("sandboxType", "localWithFile"),
};

// No clipboard or settings panel is reachable from the engine: the calls do nothing.
Value refuse(Vm&, CallInfo&) { return Value(false); }

constexpr NativeMember kSwitches[] = {constant("useCodepage", false, kDontEnum)};
constexpr NativeMember kSystem[] = {
    method("setClipboard", refuse),
    method("showSettings", nothing),
};

// Product: a handle on an installed desktop application, which this player cannot start
// or fetch.
Value constructProduct(Vm& vm, CallInfo& c) {
  if (Object* self = c.thisObject(); self && !c.args.empty()) vm.setMember(self, "name", c.arg(0));
  return Value();
}

constexpr NativeMember kProductPrototype[] = {method("launch", refuse), method("download", refuse)};
constexpr NativeClass kProductClass{
    .name = "Product", .constructor = constructProduct, .prototype = kProductPrototype};

}  // namespace

void installSystemObject(Vm& vm) {
  const bool ci = vm.caseInsensitive();
  Object* system = vm.newObject();
  vm.global->put("System", system, kDontEnum, ci);

  Object* caps = vm.newObject();
  system->put("capabilities", caps, kDontEnum, ci);
  const std::vector<Capability> list = capabilities();
  for (const Capability& c : list) caps->put(c.name, c.value, kConstant, ci);
  caps->put("serverString", serverString(vm, list), kConstant, ci);

  // Settings switches scripts may turn; the player reads them when it loads data.
  installMembers(vm, system, kSwitches);
  if (vm.version() >= 6) system->put("exactSettings", vm.version() >= 7, kDontEnum, ci);

  Object* security = vm.newObject();
  system->put("security", security, kDontEnum, ci);
  installMembers(vm, security, kSecurity);
  installMembers(vm, system, kSystem);
  installClass(vm, system, kProductClass);
}

}  // namespace orv::movie::avm1
