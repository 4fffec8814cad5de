// Date: milliseconds since 1970 UTC with ECMA calendar arithmetic. Local time is UTC.
#include <chrono>
#include <cmath>
#include <cstdio>

#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

constexpr double kMsPerDay = 86400000.0;

double day(double t) { return std::floor(t / kMsPerDay); }
double daysInYear(double y) {
  if (std::fmod(y, 4) != 0) return 365;
  if (std::fmod(y, 100) != 0) return 366;
  if (std::fmod(y, 400) != 0) return 365;
  return 366;
}
double dayFromYear(double y) {
  return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) +
         std::floor((y - 1601) / 400);
}
double yearFromTime(double t) {
  double y = std::floor(t / (kMsPerDay * 365.2425)) + 1970;
  while (dayFromYear(y) * kMsPerDay > t) --y;
  while (dayFromYear(y + 1) * kMsPerDay <= t) ++y;
  return y;
}
bool leap(double y) { return daysInYear(y) == 366; }
int monthFromTime(double t, double* dateOut) {
  double y = yearFromTime(t);
  int d = static_cast<int>(day(t) - dayFromYear(y));
  static const int cum[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
  int l = leap(y) ? 1 : 0;
  int m = 0;
  while (m < 11 && d >= cum[m + 1] + (m + 1 >= 2 ? l : 0)) ++m;
  *dateOut = d - (cum[m] + (m >= 2 ? l : 0)) + 1;
  return m;
}
double makeDay(double year, double month, double date) {
  if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date)) return std::nan("");
  double y = year + std::floor(month / 12);
  double m = std::fmod(month, 12);
  if (m < 0) m += 12;
  static const int cum[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  double d = dayFromYear(y) + cum[static_cast<int>(m)] + (m >= 2 && leap(y) ? 1 : 0);
  return d + date - 1;
}
double makeTime(double h, double m, double s, double ms) {
  return ((h * 60 + m) * 60 + s) * 1000 + ms;
}

struct Parts {
  double year, month, date, hours, minutes, seconds, ms, weekday;
};
Parts split(double t) {
  Parts p;
  p.year = yearFromTime(t);
  p.month = monthFromTime(t, &p.date);
  double msInDay = std::fmod(t, kMsPerDay);
  if (msInDay < 0) msInDay += kMsPerDay;
  p.hours = std::floor(msInDay / 3600000);
  p.minutes = std::fmod(std::floor(msInDay / 60000), 60);
  p.seconds = std::fmod(std::floor(msInDay / 1000), 60);
  p.ms = std::fmod(msInDay, 1000);
  p.weekday = std::fmod(day(t) + 4, 7);
  if (p.weekday < 0) p.weekday += 7;
  return p;
}
double join(const Parts& p) {
  return makeDay(p.year, p.month, p.date) * kMsPerDay +
         makeTime(p.hours, p.minutes, p.seconds, p.ms);
}

double timeClip(double t) {
  if (!std::isfinite(t) || std::fabs(t) > 8.64e15) return std::nan("");
  return std::trunc(t);
}

// Date methods called on an object that is no Date give undefined.
bool onDate(CallInfo& c) {
  Object* o = c.thisObject();
  return o && o->kind == ObjectKind::Date;
}

double& selfTime(CallInfo& c, double& scratch) {
  Object* o = c.thisObject();
  if (o && o->kind == ObjectKind::Date && o->primitive.isNumber()) {
    scratch = o->primitive.asNumber();
    return scratch;
  }
  scratch = std::nan("");
  return scratch;
}

void setSelf(CallInfo& c, double t) {
  Object* o = c.thisObject();
  if (o && o->kind == ObjectKind::Date) o->primitive = Value(timeClip(t));
}

}  // namespace

void installDateBuiltins(Vm& vm) {
  bool ci = vm.caseInsensitive();
  Object* proto = vm.newObject();
  vm.dateProto = proto;
  FunctionObject* ctor = vm.newNative(
      [](Vm& vm, CallInfo& c) -> Value {
        double now = static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::system_clock::now().time_since_epoch())
                                             .count());
        double t = now;
        if (c.args.size() == 1) {
          t = vm.toNumber(c.arg(0));
        } else if (c.args.size() >= 2) {
          double f[7] = {0, 0, 1, 0, 0, 0, 0};
          for (size_t i = 0; i < 7 && i < c.args.size(); ++i) f[i] = vm.toNumber(c.args[i]);
          if (f[0] >= 0 && f[0] <= 99) f[0] += 1900;
          t = makeDay(f[0], f[1], f[2]) * kMsPerDay + makeTime(f[3], f[4], f[5], f[6]);
        }
        if (!c.isConstruct) {
          Parts p = split(now);
          static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
          static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
          char buf[96];
          std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d GMT+0000 %d",
                        days[(int)p.weekday], months[(int)p.month], (int)p.date, (int)p.hours,
                        (int)p.minutes, (int)p.seconds, (int)p.year);
          return Value(std::string(buf));
        }
        if (Object* o = c.thisObject()) {
          o->kind = ObjectKind::Date;
          o->primitive = Value(timeClip(t));
        }
        return c.thisValue;
      },
      proto);
  vm.global->put("Date", ctor, kDontEnum, ci);
  vm.defineMethod(ctor, "UTC", [](Vm& vm, CallInfo& c) -> Value {
    double f[7] = {0, 0, 1, 0, 0, 0, 0};
    for (size_t i = 0; i < 7 && i < c.args.size(); ++i) f[i] = vm.toNumber(c.args[i]);
    if (f[0] >= 0 && f[0] <= 99) f[0] += 1900;
    return Value(
        timeClip(makeDay(f[0], f[1], f[2]) * kMsPerDay + makeTime(f[3], f[4], f[5], f[6])));
  });

  using Getter = double (*)(const Parts&);
  const std::pair<const char*, Getter> getters[] = {
      {"FullYear", [](const Parts& p) { return p.year; }},
      {"Month", [](const Parts& p) { return p.month; }},
      {"Date", [](const Parts& p) { return p.date; }},
      {"Day", [](const Parts& p) { return p.weekday; }},
      {"Hours", [](const Parts& p) { return p.hours; }},
      {"Minutes", [](const Parts& p) { return p.minutes; }},
      {"Seconds", [](const Parts& p) { return p.seconds; }},
      {"Milliseconds", [](const Parts& p) { return p.ms; }},
  };
  for (auto& [name, getter] : getters) {
    Getter get = getter;  // a copy: clang cannot capture a structured binding
    auto fn = [get](Vm&, CallInfo& c) -> Value {
      if (!onDate(c)) return Value();
      double s;
      double t = selfTime(c, s);
      if (std::isnan(t)) return Value(std::nan(""));
      return Value(get(split(t)));
    };
    vm.defineMethod(proto, std::string("get") + name, fn);
    vm.defineMethod(proto, std::string("getUTC") + name, fn);
  }
  vm.defineMethod(proto, "getYear", [](Vm&, CallInfo& c) -> Value {
    if (!onDate(c)) return Value();
    double s;
    double t = selfTime(c, s);
    return std::isnan(t) ? Value(t) : Value(split(t).year - 1900);
  });
  auto getTime = [](Vm&, CallInfo& c) -> Value {
    double s;
    return Value(selfTime(c, s));
  };
  vm.defineMethod(proto, "getTime", getTime);
  vm.defineMethod(proto, "valueOf", getTime);
  vm.defineMethod(proto, "getTimezoneOffset", [](Vm&, CallInfo&) -> Value { return Value(0.0); });
  vm.defineMethod(proto, "setTime", [](Vm& vm, CallInfo& c) -> Value {
    setSelf(c, vm.toNumber(c.arg(0)));
    double s;
    return Value(selfTime(c, s));
  });
  // Setters: field index into Parts order year, month, date, hours, minutes, seconds, ms.
  const std::pair<const char*, int> setters[] = {{"FullYear", 0},    {"Month", 1},   {"Date", 2},
                                                 {"Hours", 3},       {"Minutes", 4}, {"Seconds", 5},
                                                 {"Milliseconds", 6}};
  for (auto& [name, first] : setters) {
    int start = first;
    auto fn = [start](Vm& vm, CallInfo& c) -> Value {
      double s;
      double t = selfTime(c, s);
      if (std::isnan(t)) t = 0;
      Parts p = split(t);
      double* fields[7] = {&p.year, &p.month, &p.date, &p.hours, &p.minutes, &p.seconds, &p.ms};
      int maxArgs = start == 0   ? 3
                    : start == 1 ? 2
                    : start == 3 ? 4
                    : start == 4 ? 3
                    : start == 5 ? 2
                                 : 1;
      if (c.args.empty()) {
        setSelf(c, std::nan(""));
        return Value(std::nan(""));
      }
      for (int i = 0; i < maxArgs && i < static_cast<int>(c.args.size()) && start + i < 7; ++i)
        *fields[start + i] = vm.toNumber(c.args[static_cast<size_t>(i)]);
      setSelf(c, join(p));
      return Value(selfTime(c, s));
    };
    vm.defineMethod(proto, std::string("set") + name, fn);
    vm.defineMethod(proto, std::string("setUTC") + name, fn);
  }
  vm.defineMethod(proto, "setYear", [](Vm& vm, CallInfo& c) -> Value {
    double s;
    double t = selfTime(c, s);
    if (std::isnan(t)) t = 0;
    Parts p = split(t);
    double y = vm.toNumber(c.arg(0));
    if (y >= 0 && y <= 99) y += 1900;
    p.year = y;
    setSelf(c, join(p));
    return Value(selfTime(c, s));
  });
  vm.defineMethod(proto, "toString", [](Vm&, CallInfo& c) -> Value {
    double s;
    double t = selfTime(c, s);
    if (std::isnan(t)) return Value("Invalid Date");
    Parts p = split(t);
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d GMT+0000 %d", days[(int)p.weekday],
                  months[(int)p.month], (int)p.date, (int)p.hours, (int)p.minutes, (int)p.seconds,
                  (int)p.year);
    return Value(std::string(buf));
  });
}

}  // namespace orv::movie::avm1
