// Date: milliseconds since 1970 UTC with ECMA calendar arithmetic. Local time is UTC.
#include <chrono>
#include <cmath>
#include <cstdio>

#include "movie/avm1/native_table.h"
#include "movie/base/calendar.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

using calendar::day;
using calendar::dayFromYear;
using calendar::daysInYear;
using calendar::kMsPerDay;
using calendar::yearFromTime;

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

std::string dateText(const Parts& p) {
  static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d GMT+0000 %d", days[(int)p.weekday],
                months[(int)p.month], (int)p.date, (int)p.hours, (int)p.minutes, (int)p.seconds,
                (int)p.year);
  return buf;
}

Value construct(Vm& vm, CallInfo& c) {
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
  if (!c.isConstruct) return Value(dateText(split(now)));
  if (Object* o = c.thisObject()) {
    o->kind = ObjectKind::Date;
    o->primitive = Value(timeClip(t));
  }
  return c.thisValue;
}

Value utc(Vm& vm, CallInfo& c) {
  double f[7] = {0, 0, 1, 0, 0, 0, 0};
  for (size_t i = 0; i < 7 && i < c.args.size(); ++i) f[i] = vm.toNumber(c.args[i]);
  if (f[0] >= 0 && f[0] <= 99) f[0] += 1900;
  return Value(timeClip(makeDay(f[0], f[1], f[2]) * kMsPerDay + makeTime(f[3], f[4], f[5], f[6])));
}

// The parts getFullYear ... getMilliseconds read (and their UTC twins), by variant.
using PartOf = double (*)(const Parts&);
constexpr PartOf kParts[] = {
    [](const Parts& p) { return p.year; },    [](const Parts& p) { return p.month; },
    [](const Parts& p) { return p.date; },    [](const Parts& p) { return p.weekday; },
    [](const Parts& p) { return p.hours; },   [](const Parts& p) { return p.minutes; },
    [](const Parts& p) { return p.seconds; }, [](const Parts& p) { return p.ms; },
};
enum Part { kYear, kMonth, kDate, kDay, kHours, kMinutes, kSeconds, kMilliseconds };

Value getPart(Vm&, CallInfo& c) {
  if (!onDate(c)) return Value();
  double s;
  double t = selfTime(c, s);
  if (std::isnan(t)) return Value(std::nan(""));
  return Value(kParts[c.variant](split(t)));
}

Value getYear(Vm&, CallInfo& c) {
  if (!onDate(c)) return Value();
  double s;
  double t = selfTime(c, s);
  return std::isnan(t) ? Value(t) : Value(split(t).year - 1900);
}

Value getTime(Vm&, CallInfo& c) {
  double s;
  return Value(selfTime(c, s));
}

Value getTimezoneOffset(Vm&, CallInfo&) { return Value(0.0); }

Value setTime(Vm& vm, CallInfo& c) {
  setSelf(c, vm.toNumber(c.arg(0)));
  double s;
  return Value(selfTime(c, s));
}

// setFullYear ... setMilliseconds (and their UTC twins): the variant is the first part set,
// in Parts order year, month, date, hours, minutes, seconds, ms (the day is no field).
Value setParts(Vm& vm, CallInfo& c) {
  const int start = c.variant;
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
}
enum Field { kSetYear, kSetMonth, kSetDate, kSetHours, kSetMinutes, kSetSeconds, kSetMs };

Value setYear(Vm& vm, CallInfo& c) {
  double s;
  double t = selfTime(c, s);
  if (std::isnan(t)) t = 0;
  Parts p = split(t);
  double y = vm.toNumber(c.arg(0));
  if (y >= 0 && y <= 99) y += 1900;
  p.year = y;
  setSelf(c, join(p));
  return Value(selfTime(c, s));
}

Value toString(Vm&, CallInfo& c) {
  double s;
  double t = selfTime(c, s);
  if (std::isnan(t)) return Value("Invalid Date");
  return Value(dateText(split(t)));
}

constexpr NativeMember kPrototype[] = {
    method("getFullYear", getPart, kDontEnum, kYear).asnative(103, 0),
    method("getUTCFullYear", getPart, kDontEnum, kYear).asnative(103, 128),
    method("getMonth", getPart, kDontEnum, kMonth).asnative(103, 2),
    method("getUTCMonth", getPart, kDontEnum, kMonth).asnative(103, 130),
    method("getDate", getPart, kDontEnum, kDate).asnative(103, 3),
    method("getUTCDate", getPart, kDontEnum, kDate).asnative(103, 131),
    method("getDay", getPart, kDontEnum, kDay).asnative(103, 4),
    method("getUTCDay", getPart, kDontEnum, kDay).asnative(103, 132),
    method("getHours", getPart, kDontEnum, kHours).asnative(103, 5),
    method("getUTCHours", getPart, kDontEnum, kHours).asnative(103, 133),
    method("getMinutes", getPart, kDontEnum, kMinutes).asnative(103, 6),
    method("getUTCMinutes", getPart, kDontEnum, kMinutes).asnative(103, 134),
    method("getSeconds", getPart, kDontEnum, kSeconds).asnative(103, 7),
    method("getUTCSeconds", getPart, kDontEnum, kSeconds).asnative(103, 135),
    method("getMilliseconds", getPart, kDontEnum, kMilliseconds).asnative(103, 8),
    method("getUTCMilliseconds", getPart, kDontEnum, kMilliseconds).asnative(103, 136),
    method("getYear", getYear).asnative(103, 1),
    method("getTime", getTime).asnative(103, 16),
    method("valueOf", getTime),
    method("getTimezoneOffset", getTimezoneOffset).asnative(103, 18),
    method("setTime", setTime).asnative(103, 17),
    method("setFullYear", setParts, kDontEnum, kSetYear).asnative(103, 9),
    method("setUTCFullYear", setParts, kDontEnum, kSetYear).asnative(103, 137),
    method("setMonth", setParts, kDontEnum, kSetMonth).asnative(103, 10),
    method("setUTCMonth", setParts, kDontEnum, kSetMonth).asnative(103, 138),
    method("setDate", setParts, kDontEnum, kSetDate).asnative(103, 11),
    method("setUTCDate", setParts, kDontEnum, kSetDate).asnative(103, 139),
    method("setHours", setParts, kDontEnum, kSetHours).asnative(103, 12),
    method("setUTCHours", setParts, kDontEnum, kSetHours).asnative(103, 140),
    method("setMinutes", setParts, kDontEnum, kSetMinutes).asnative(103, 13),
    method("setUTCMinutes", setParts, kDontEnum, kSetMinutes).asnative(103, 141),
    method("setSeconds", setParts, kDontEnum, kSetSeconds).asnative(103, 14),
    method("setUTCSeconds", setParts, kDontEnum, kSetSeconds).asnative(103, 142),
    method("setMilliseconds", setParts, kDontEnum, kSetMs).asnative(103, 15),
    method("setUTCMilliseconds", setParts, kDontEnum, kSetMs).asnative(103, 143),
    method("setYear", setYear).asnative(103, 20),
    method("toString", toString).asnative(103, 19),
};
constexpr NativeMember kStatics[] = {method("UTC", utc).asnative(103, 257)};
constexpr NativeClass kDateClass{.name = "Date",
                                 .constructor = construct,
                                 .prototype = kPrototype,
                                 .statics = kStatics,
                                 .major = 103,
                                 .minor = 256};

}  // namespace

void installDateBuiltins(Vm& vm) {
  vm.dateProto = vm.newObject();
  installClass(vm, vm.global, kDateClass, vm.dateProto);
}

}  // namespace orv::movie::avm1
