// Date: a time value in milliseconds since 1970 UTC, read and set in local time or UTC by
// the algorithms of ECMA-262 15.9; the local time zone is the process's.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <cctype>
#include <limits>

#include "movie/avm2/conversions.h"
#include "movie/base/calendar.h"
#include "movie/avm2/toplevel.h"

namespace orv::movie::avm2 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class DateObject : public Object {
 public:
  using Object::Object;
  double time = kNaN;
};

using calendar::day;
using calendar::dayFromYear;
using calendar::daysInYear;
using calendar::kMsPerDay;
using calendar::yearFromTime;

double timeWithinDay(double t) {
  double r = std::fmod(t, kMsPerDay);
  return r < 0 ? r + kMsPerDay : r;
}
double timeFromYear(double y) { return kMsPerDay * dayFromYear(y); }
bool inLeapYear(double t) { return daysInYear(yearFromTime(t)) == 366; }
double dayWithinYear(double t) { return day(t) - dayFromYear(yearFromTime(t)); }

const int kMonthStarts[2][13] = {{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
                                 {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

double monthFromTime(double t) {
  double d = dayWithinYear(t);
  const int* starts = kMonthStarts[inLeapYear(t)];
  for (int m = 0; m < 12; ++m)
    if (d < starts[m + 1]) return m;
  return 11;
}
double dateFromTime(double t) {
  return dayWithinYear(t) - kMonthStarts[inLeapYear(t)][static_cast<int>(monthFromTime(t))] + 1;
}
double weekDay(double t) {
  double r = std::fmod(day(t) + 4, 7);
  return r < 0 ? r + 7 : r;
}
double hourFromTime(double t) { return std::floor(timeWithinDay(t) / 3600000.0); }
double minFromTime(double t) { return std::fmod(std::floor(timeWithinDay(t) / 60000.0), 60); }
double secFromTime(double t) { return std::fmod(std::floor(timeWithinDay(t) / 1000.0), 60); }
double msFromTime(double t) { return std::fmod(timeWithinDay(t), 1000); }

double makeTime(double h, double m, double s, double ms) {
  if (!std::isfinite(h) || !std::isfinite(m) || !std::isfinite(s) || !std::isfinite(ms))
    return kNaN;
  return std::trunc(h) * 3600000.0 + std::trunc(m) * 60000.0 + std::trunc(s) * 1000.0 +
         std::trunc(ms);
}
double makeDay(double year, double month, double date) {
  if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date)) return kNaN;
  year = std::trunc(year), month = std::trunc(month), date = std::trunc(date);
  double y = year + std::floor(month / 12);
  double mn = std::fmod(month, 12);
  if (mn < 0) mn += 12;
  if (std::fabs(y) > 400000) return kNaN;
  double t = timeFromYear(y);
  double d = day(t) + kMonthStarts[daysInYear(y) == 366][static_cast<int>(mn)];
  return d + date - 1;
}
double makeDate(double d, double t) { return d * kMsPerDay + t; }
double timeClip(double t) {
  if (!std::isfinite(t) || std::fabs(t) > 8.64e15) return kNaN;
  return std::trunc(t) + 0.0;
}

// The local zone's offset from UTC at UTC time t, in milliseconds (daylight saving included).
double localOffset(double t) {
  if (!std::isfinite(t)) return 0;
  auto seconds = static_cast<std::time_t>(std::floor(t / 1000));
  std::tm tm{};
#ifdef _WIN32
  std::tm* l = std::localtime(&seconds);
  std::tm* g = std::gmtime(&seconds);
  if (!l || !g) return 0;
  std::tm local = *l, utc = *g;
  utc.tm_isdst = local.tm_isdst;
  return std::difftime(std::mktime(&local), std::mktime(&utc)) * 1000.0;
#else
  if (!localtime_r(&seconds, &tm)) return 0;
  return static_cast<double>(tm.tm_gmtoff) * 1000.0;
#endif
}
// Zones' old local mean times (offsets of odd seconds) give way to the zone's standard
// offset, as the player's clock keeps them.
double zoneOffset(double t) {
  double offset = localOffset(t);
  if (std::fmod(offset, 900000.0) != 0) offset = localOffset(0);
  return offset;
}
double localTime(double t) { return t + zoneOffset(t); }
double utcFromLocal(double t) { return t - zoneOffset(t - zoneOffset(t)); }

double now() {
  using namespace std::chrono;
  return static_cast<double>(
      duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string two(double v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", static_cast<int>(v));
  return b;
}
std::string yearText(double y) { return std::to_string(static_cast<long long>(y)); }

enum class Format { Full, Utc, DateOnly, TimeOnly, Locale, LocaleDate, LocaleTime };

std::string format(double t, Format f) {
  if (std::isnan(t)) return "Invalid Date";
  double lt = f == Format::Utc ? t : localTime(t);
  int wd = static_cast<int>(weekDay(lt)), mo = static_cast<int>(monthFromTime(lt));
  std::string date = std::string(kDays[wd]) + " " + kMonths[mo] + " " +
                     std::to_string(static_cast<int>(dateFromTime(lt)));
  std::string time =
      two(hourFromTime(lt)) + ":" + two(minFromTime(lt)) + ":" + two(secFromTime(lt));
  double offset = zoneOffset(t) / 60000.0;
  char zone[16];
  std::snprintf(zone, sizeof zone, "GMT%c%02d%02d", offset < 0 ? '-' : '+',
                static_cast<int>(std::fabs(offset)) / 60, static_cast<int>(std::fabs(offset)) % 60);
  int hour12 = static_cast<int>(hourFromTime(lt)) % 12;
  std::string localeTime = two(hour12 == 0 ? 12 : hour12) + ":" + two(minFromTime(lt)) + ":" +
                           two(secFromTime(lt)) + (hourFromTime(lt) < 12 ? " AM" : " PM");
  std::string year = yearText(yearFromTime(lt));
  switch (f) {
    case Format::Full:
      return date + " " + time + " " + zone + " " + year;
    case Format::Utc:
      return date + " " + time + " " + year + " UTC";
    case Format::DateOnly:
      return date + " " + year;
    case Format::TimeOnly:
      return time + " " + zone;
    case Format::Locale:
      return date + " " + year + " " + localeTime;
    case Format::LocaleDate:
      return date + " " + year;
    case Format::LocaleTime:
      return localeTime;
  }
  return {};
}

DateObject* self_(Machine& m, const Value& self) { return receiver<DateObject>(m, self, "Date"); }

Object* allocDate(Machine& m, ClassObject* cls) {
  return m.heap.make<DateObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

double parseDate(std::string_view text);

// new Date(), new Date(ms or text), new Date(year, month[, date, hours, minutes, seconds, ms]).
Value init(Machine& m, const Value& self, std::span<Value> args) {
  DateObject* d = self_(m, self);
  if (args.empty()) {
    d->time = now();
  } else if (args.size() == 1) {
    Value v = args[0].isObject() ? m.toPrimitive(args[0]) : args[0];
    if (args[0].isObject())
      if (auto* other = dynamic_cast<DateObject*>(args[0].asObject())) v = Value(other->time);
    d->time = timeClip(v.isString() ? parseDate(m.toText(v)) : m.toNumber(v));
  } else {
    double f[7] = {0, 0, 1, 0, 0, 0, 0};
    for (size_t i = 0; i < 7 && i < args.size(); ++i) f[i] = m.toNumber(args[i]);
    if (std::isfinite(f[0]) && std::trunc(f[0]) >= 0 && std::trunc(f[0]) <= 99)
      f[0] = 1900 + std::trunc(f[0]);
    double local = makeDate(makeDay(f[0], f[1], f[2]), makeTime(f[3], f[4], f[5], f[6]));
    d->time = timeClip(utcFromLocal(local));
  }
  return Value();
}

Value dateAsFunction(Machine&, const Value&, std::span<Value>) {
  return Value(StringRef(format(now(), Format::Full)));
}

Value utc(Machine& m, const Value&, std::span<Value> args) {
  double f[7] = {kNaN, kNaN, 1, 0, 0, 0, 0};
  for (size_t i = 0; i < 7 && i < args.size(); ++i) f[i] = m.toNumber(args[i]);
  if (std::isfinite(f[0]) && std::trunc(f[0]) >= 0 && std::trunc(f[0]) <= 99)
    f[0] = 1900 + std::trunc(f[0]);
  return Value::number(
      timeClip(makeDate(makeDay(f[0], f[1], f[2]), makeTime(f[3], f[4], f[5], f[6]))));
}

Value parse(Machine& m, const Value&, std::span<Value> args) {
  return Value::number(timeClip(parseDate(m.toText(arg(args, 0)))));
}

// ---- Reading and setting fields ----

enum Field { Year, Month, Date_, Hours, Minutes, Seconds, Ms, Day, Time, Offset };

double fieldOf(double t, Field f, bool isUtc) {
  if (std::isnan(t)) return kNaN;
  if (f == Time) return t;
  if (f == Offset) return -zoneOffset(t) / 60000.0;
  double lt = isUtc ? t : localTime(t);
  switch (f) {
    case Year:
      return yearFromTime(lt);
    case Month:
      return monthFromTime(lt);
    case Date_:
      return dateFromTime(lt);
    case Hours:
      return hourFromTime(lt);
    case Minutes:
      return minFromTime(lt);
    case Seconds:
      return secFromTime(lt);
    case Ms:
      return msFromTime(lt);
    case Day:
      return weekDay(lt);
    default:
      return kNaN;
  }
}

template <Field F, bool Utc>
Value getField(Machine& m, const Value& self, std::span<Value>) {
  return Value::number(fieldOf(self_(m, self)->time, F, Utc));
}

// setHours(h[, m, s, ms]) and the like: the fields from F on, as many as given.
template <Field F, bool Utc>
Value setField(Machine& m, const Value& self, std::span<Value> args) {
  DateObject* d = self_(m, self);
  if (F == Time) {
    d->time = timeClip(m.toNumber(arg(args, 0)));
    return Value::number(d->time);
  }
  double t = d->time;
  if (std::isnan(t) && F == Year) t = 0;
  double lt = Utc ? t : localTime(t);
  double f[7] = {yearFromTime(lt), monthFromTime(lt), dateFromTime(lt), hourFromTime(lt),
                 minFromTime(lt),  secFromTime(lt),   msFromTime(lt)};
  if (std::isnan(t)) return Value(kNaN);
  int last = F <= Date_ ? Date_ : Ms;
  if (args.empty()) {
    f[F] = kNaN;
  } else {
    for (int i = F, k = 0; i <= last && static_cast<size_t>(k) < args.size(); ++i, ++k)
      f[i] = m.toNumber(args[k]);
  }
  double nt = makeDate(makeDay(f[0], f[1], f[2]), makeTime(f[3], f[4], f[5], f[6]));
  d->time = timeClip(Utc ? nt : utcFromLocal(nt));
  return Value::number(d->time);
}

template <Format F>
Value toText(Machine& m, const Value& self, std::span<Value>) {
  return Value(StringRef(format(self_(m, self)->time, F)));
}

Value valueOf(Machine& m, const Value& self, std::span<Value>) {
  return Value::number(self_(m, self)->time);
}

#define ORV_DATE_FIELD(name, field)                                   \
  {"get" #name, MemberKind::Method, getField<field, false>},          \
      {"getUTC" #name, MemberKind::Method, getField<field, true>},    \
      {"set" #name, MemberKind::Method, setField<field, false>, 1}, { \
    "setUTC" #name, MemberKind::Method, setField<field, true>, 1      \
  }

const NativeMember kDateMembers[] = {
    ORV_DATE_FIELD(FullYear, Year),
    ORV_DATE_FIELD(Month, Month),
    ORV_DATE_FIELD(Date, Date_),
    ORV_DATE_FIELD(Hours, Hours),
    ORV_DATE_FIELD(Minutes, Minutes),
    ORV_DATE_FIELD(Seconds, Seconds),
    ORV_DATE_FIELD(Milliseconds, Ms),
    {"getDay", MemberKind::Method, getField<Day, false>},
    {"getUTCDay", MemberKind::Method, getField<Day, true>},
    {"getTime", MemberKind::Method, getField<Time, false>},
    {"setTime", MemberKind::Method, setField<Time, false>, 1},
    {"getTimezoneOffset", MemberKind::Method, getField<Offset, false>},
    {"valueOf", MemberKind::Method, valueOf},
    {"toString", MemberKind::Method, toText<Format::Full>},
    {"toJSON", MemberKind::Method, toText<Format::Full>, 1},
    {"toUTCString", MemberKind::Method, toText<Format::Utc>},
    {"toDateString", MemberKind::Method, toText<Format::DateOnly>},
    {"toTimeString", MemberKind::Method, toText<Format::TimeOnly>},
    {"toLocaleString", MemberKind::Method, toText<Format::Locale>},
    {"toLocaleDateString", MemberKind::Method, toText<Format::LocaleDate>},
    {"toLocaleTimeString", MemberKind::Method, toText<Format::LocaleTime>},
    {"fullYear", MemberKind::Getter, getField<Year, false>},
    {"fullYear", MemberKind::Setter, setField<Year, false>},
    {"fullYearUTC", MemberKind::Getter, getField<Year, true>},
    {"fullYearUTC", MemberKind::Setter, setField<Year, true>},
    {"month", MemberKind::Getter, getField<Month, false>},
    {"month", MemberKind::Setter, setField<Month, false>},
    {"monthUTC", MemberKind::Getter, getField<Month, true>},
    {"monthUTC", MemberKind::Setter, setField<Month, true>},
    {"date", MemberKind::Getter, getField<Date_, false>},
    {"date", MemberKind::Setter, setField<Date_, false>},
    {"dateUTC", MemberKind::Getter, getField<Date_, true>},
    {"dateUTC", MemberKind::Setter, setField<Date_, true>},
    {"hours", MemberKind::Getter, getField<Hours, false>},
    {"hours", MemberKind::Setter, setField<Hours, false>},
    {"hoursUTC", MemberKind::Getter, getField<Hours, true>},
    {"hoursUTC", MemberKind::Setter, setField<Hours, true>},
    {"minutes", MemberKind::Getter, getField<Minutes, false>},
    {"minutes", MemberKind::Setter, setField<Minutes, false>},
    {"minutesUTC", MemberKind::Getter, getField<Minutes, true>},
    {"minutesUTC", MemberKind::Setter, setField<Minutes, true>},
    {"seconds", MemberKind::Getter, getField<Seconds, false>},
    {"seconds", MemberKind::Setter, setField<Seconds, false>},
    {"secondsUTC", MemberKind::Getter, getField<Seconds, true>},
    {"secondsUTC", MemberKind::Setter, setField<Seconds, true>},
    {"milliseconds", MemberKind::Getter, getField<Ms, false>},
    {"milliseconds", MemberKind::Setter, setField<Ms, false>},
    {"millisecondsUTC", MemberKind::Getter, getField<Ms, true>},
    {"millisecondsUTC", MemberKind::Setter, setField<Ms, true>},
    {"day", MemberKind::Getter, getField<Day, false>},
    {"dayUTC", MemberKind::Getter, getField<Day, true>},
    {"time", MemberKind::Getter, getField<Time, false>},
    {"time", MemberKind::Setter, setField<Time, false>},
    {"timezoneOffset", MemberKind::Getter, getField<Offset, false>},
    {"UTC", MemberKind::StaticMethod, utc, 7},
    {"parse", MemberKind::StaticMethod, parse, 1},
    {"length", MemberKind::Constant, nullptr, 0, 7},
};

// ---- Parsing the formats the player accepts ----

double parseDate(std::string_view text) {
  // Words (month names, AM/PM, GMT/UTC with an offset), numbers with ':' (a time), '/'
  // (month/day/year), and plain numbers (the day, then the year).
  double year = kNaN, month = kNaN, date = kNaN, h = 0, mi = 0, s = 0, offset = kNaN;
  bool pm = false, am = false;
  size_t i = 0;
  auto number = [&](size_t& at) {
    double v = 0;
    size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') v = v * 10 + (text[at++] - '0');
    return at > start ? v : kNaN;
  };
  while (i < text.size()) {
    char c = text[i];
    if (std::isalpha(static_cast<unsigned char>(c))) {
      size_t start = i;
      while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) ++i;
      std::string word(text.substr(start, i - start));
      for (char& ch : word) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      if (word == "am")
        am = true;
      else if (word == "pm")
        pm = true;
      else if (word == "gmt" || word == "utc" || word == "z")
        offset = 0;
      else if (word.size() >= 3) {
        for (int k = 0; k < 12; ++k) {
          std::string mon = kMonths[k];
          mon[0] = static_cast<char>(std::tolower(mon[0]));
          if (word.compare(0, 3, mon) == 0) month = k;
        }
      }
    } else if ((c == '+' || c == '-') && !std::isnan(offset) && i + 1 < text.size() &&
               std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
      ++i;
      double v = number(i);
      double minutes = v >= 100 ? std::floor(v / 100) * 60 + std::fmod(v, 100) : v * 60;
      offset = c == '-' ? -minutes : minutes;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      double v = number(i);
      if (i < text.size() && text[i] == ':') {
        h = v;
        ++i;
        mi = number(i);
        if (i < text.size() && text[i] == ':') {
          ++i;
          s = number(i);
        }
      } else if (i < text.size() && text[i] == '/') {
        month = v - 1;
        ++i;
        date = number(i);
        if (i < text.size() && text[i] == '/') {
          ++i;
          year = number(i);
        }
      } else if (std::isnan(date) && v <= 31 && std::isnan(year)) {
        date = v;
      } else {
        year = v;
      }
    } else {
      ++i;
    }
  }
  if (std::isnan(year) || std::isnan(month) || std::isnan(date)) return kNaN;
  if (year < 100) year += 1900;
  if ((am || pm) && h > 12) return kNaN;
  if (pm && h < 12) h += 12;
  if (am && h == 12) h = 0;
  double local = makeDate(makeDay(year, month, date), makeTime(h, mi, s, 0));
  if (!std::isnan(offset)) return local - offset * 60000.0;
  return utcFromLocal(local);
}

}  // namespace

void installDateClass(Machine& m) {
  ClassObject* date = installClass(m, {.name = "Date",
                                       .members = kDateMembers,
                                       .init = init,
                                       .call = dateAsFunction,
                                       .alloc = allocDate,
                                       .isFinal = true,
                                       .initLength = 7});
  date->prefersString = true;
}

}  // namespace orv::movie::avm2
