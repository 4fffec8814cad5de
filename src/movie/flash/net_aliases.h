// Class aliases of AMF (flash.net.registerClassAlias) and the hooks the serializer calls:
// IExternalizable classes and ObjectEncoding.dynamicPropertyWriter.
#pragma once

#include <map>
#include <string>

#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {

struct AmfAliasState : PackageState {
  std::map<std::string, ClassObject*> classByAlias;
  std::map<const ClassObject*, String*> aliasByClass;
  Value dynamicPropertyWriter = Value::null();
  ClassObject* externalizable = nullptr;      // flash.utils.IExternalizable
  ClassObject* propertyOutputClass = nullptr;  // what writeDynamicProperties is handed
  void markRoots(Marker& m) const override {
    for (const auto& [alias, cls] : classByAlias) m.mark(static_cast<Object*>(cls));
    m.mark(dynamicPropertyWriter);
  }
};

// The output a dynamic property writer writes through: each call hands a name and a value
// to `sink` while the writer runs.
class DynamicPropertyOutput : public Object {
 public:
  using Object::Object;
  struct Sink {
    virtual ~Sink() = default;
    virtual void property(const Value& name, const Value& value) = 0;
  };
  Sink* sink = nullptr;
};

}  // namespace orv::movie::avm2
