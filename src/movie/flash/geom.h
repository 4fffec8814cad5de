// flash.geom's value classes as C++ sees them: Point, Rectangle, Matrix, ColorTransform
// and Vector3D keep their numbers in one object, in the order their constructors take them.
#pragma once

#include <initializer_list>
#include <span>
#include <string_view>

#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {

class GeomObject : public Object {
 public:
  using Object::Object;
  double v[8] = {};  // Point x y; Rectangle x y width height; Matrix a b c d tx ty...
};

// A new flash.geom object of class `cls` ("Point", "Matrix"...) holding `values`.
GeomObject* makeGeom(Machine& m, std::string_view cls, std::initializer_list<double> values);
// `v` as a flash.geom object of class `cls`: TypeError #2007 for null, #1034 for another type.
GeomObject* geomArg(Machine& m, const Value& v, std::string_view cls, const char* param);

// What the classes' tables share: the numbers read and written as properties.
GeomObject* geomSelf(Machine& m, const Value& self);
template <size_t I>
Value geomGet(Machine& m, const Value& self, std::span<Value>) {
  return Value(geomSelf(m, self)->v[I]);
}
template <size_t I>
Value geomSet(Machine& m, const Value& self, std::span<Value> args) {
  GeomObject* g = geomSelf(m, self);
  g->v[I] = m.toNumber(args.empty() ? Value() : args[0]);
  return Value();
}
Object* allocGeom(Machine& m, ClassObject* cls);
// "(x=1, y=2)": each name with its number.
Value geomText(Machine& m, const GeomObject* g, std::initializer_list<const char*> names);
// The arguments as numbers, from the first, with defaults for those missing.
void geomFill(Machine& m, GeomObject* g, std::span<Value> args,
              std::initializer_list<double> defaults);
inline Value geomValue(GeomObject* g) { return Value(static_cast<Object*>(g)); }

}  // namespace orv::movie::avm2
