#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/module1.h"

namespace orv::headless {

// An in-memory registry with Windows' rules: names compare without regard to case,
// creating a key creates its missing parents, deleting a key deletes that one key and is
// refused while it has subkeys. HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes.
class SimulatedRegistry {
 public:
  SimulatedRegistry();

  std::int32_t open(HKey key, const std::string& subKey, HKey* result);
  std::int32_t create(HKey key, const std::string& subKey, HKey* result,
                      std::uint32_t* disposition);
  std::int32_t setValue(HKey key, const std::string& name, std::uint32_t type,
                        const std::string& data);
  std::int32_t deleteKey(HKey key, const std::string& subKey);
  std::int32_t close(HKey key);

  // For tests: a full path such as "HKEY_CLASSES_ROOT\.swf".
  bool keyExists(const std::string& path) const;
  // The value's data; name "" is the default value.
  std::optional<std::string> value(const std::string& path, const std::string& name) const;
  std::vector<std::string> valueNames(const std::string& path) const;
  std::vector<std::string> subKeyNames(const std::string& path) const;
  size_t openHandles() const { return handles_.size(); }

 private:
  struct Key {
    std::string name;
    std::map<std::string, std::unique_ptr<Key>> children;  // by lower-case name
    std::map<std::string, std::pair<std::string, std::string>>
        values;  // lower-case -> (name, data)
  };
  Key* resolveHandle(HKey key);
  Key* walk(Key* from, const std::string& subKey, bool create, bool* created);
  const Key* findPath(const std::string& path) const;

  Key machine_, user_;
  std::map<HKey, Key*> handles_;
  HKey nextHandle_ = 0x1000;
};

}  // namespace orv::headless
