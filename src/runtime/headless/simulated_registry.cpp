#include "runtime/headless/simulated_registry.h"

#include <algorithm>
#include <cctype>

namespace orv::headless {
namespace {

constexpr HKey kCurrentUser = 0x80000001u;
constexpr std::int32_t kInvalidParameter = 87;

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> splitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

}  // namespace

SimulatedRegistry::SimulatedRegistry() {
  machine_.name = "HKEY_LOCAL_MACHINE";
  user_.name = "HKEY_CURRENT_USER";
  bool created = false;
  walk(&machine_, "Software\\Classes", true, &created);
}

SimulatedRegistry::Key* SimulatedRegistry::resolveHandle(HKey key) {
  if (key == HKEY_LOCAL_MACHINE_) return &machine_;
  if (key == kCurrentUser) return &user_;
  if (key == HKEY_CLASSES_ROOT_) {
    bool created = false;
    return walk(&machine_, "Software\\Classes", true, &created);
  }
  auto it = handles_.find(key);
  return it == handles_.end() ? nullptr : it->second;
}

SimulatedRegistry::Key* SimulatedRegistry::walk(Key* from, const std::string& subKey, bool create,
                                                bool* created) {
  *created = false;
  Key* key = from;
  for (const auto& part : splitPath(subKey)) {
    auto& slot = key->children[lower(part)];
    if (!slot) {
      if (!create) {
        key->children.erase(lower(part));
        return nullptr;
      }
      slot = std::make_unique<Key>();
      slot->name = part;
      *created = true;
    }
    key = slot.get();
  }
  return key;
}

std::int32_t SimulatedRegistry::open(HKey key, const std::string& subKey, HKey* result) {
  Key* base = resolveHandle(key);
  if (!base) return ERROR_INVALID_HANDLE_;
  bool created = false;
  Key* found = walk(base, subKey, false, &created);
  if (!found) return ERROR_FILE_NOT_FOUND_;
  *result = nextHandle_++;
  handles_[*result] = found;
  return ERROR_SUCCESS_;
}

std::int32_t SimulatedRegistry::create(HKey key, const std::string& subKey, HKey* result,
                                       std::uint32_t* disposition) {
  Key* base = resolveHandle(key);
  if (!base) return ERROR_INVALID_HANDLE_;
  bool created = false;
  Key* found = walk(base, subKey, true, &created);
  *result = nextHandle_++;
  handles_[*result] = found;
  if (disposition) *disposition = created ? 1u : 2u;
  return ERROR_SUCCESS_;
}

std::int32_t SimulatedRegistry::setValue(HKey key, const std::string& name, std::uint32_t type,
                                         const std::string& data) {
  Key* k = resolveHandle(key);
  if (!k) return ERROR_INVALID_HANDLE_;
  if (type != REG_SZ_) return kInvalidParameter;
  k->values[lower(name)] = {name, data};
  return ERROR_SUCCESS_;
}

std::int32_t SimulatedRegistry::deleteKey(HKey key, const std::string& subKey) {
  Key* base = resolveHandle(key);
  if (!base) return ERROR_INVALID_HANDLE_;
  const auto parts = splitPath(subKey);
  if (parts.empty()) return ERROR_ACCESS_DENIED_;
  bool created = false;
  std::string parentPath;
  for (size_t i = 0; i + 1 < parts.size(); ++i) parentPath += parts[i] + "\\";
  Key* parent = walk(base, parentPath, false, &created);
  if (!parent) return ERROR_FILE_NOT_FOUND_;
  auto it = parent->children.find(lower(parts.back()));
  if (it == parent->children.end()) return ERROR_FILE_NOT_FOUND_;
  if (!it->second->children.empty()) return ERROR_ACCESS_DENIED_;
  Key* doomed = it->second.get();
  for (auto h = handles_.begin(); h != handles_.end();)
    h = h->second == doomed ? handles_.erase(h) : std::next(h);
  parent->children.erase(it);
  return ERROR_SUCCESS_;
}

std::int32_t SimulatedRegistry::close(HKey key) {
  return handles_.erase(key) ? ERROR_SUCCESS_ : ERROR_INVALID_HANDLE_;
}

const SimulatedRegistry::Key* SimulatedRegistry::findPath(const std::string& path) const {
  auto parts = splitPath(path);
  if (parts.empty()) return nullptr;
  const std::string root = parts.front();
  parts.erase(parts.begin());
  const Key* key = nullptr;
  if (root == "HKEY_LOCAL_MACHINE" || root == "HKLM") {
    key = &machine_;
  } else if (root == "HKEY_CURRENT_USER" || root == "HKCU") {
    key = &user_;
  } else if (root == "HKEY_CLASSES_ROOT" || root == "HKCR") {
    key = &machine_;
    parts.insert(parts.begin(), {"Software", "Classes"});
  } else {
    return nullptr;
  }
  for (const auto& part : parts) {
    auto it = key->children.find(lower(part));
    if (it == key->children.end()) return nullptr;
    key = it->second.get();
  }
  return key;
}

bool SimulatedRegistry::keyExists(const std::string& path) const {
  return findPath(path) != nullptr;
}

std::optional<std::string> SimulatedRegistry::value(const std::string& path,
                                                    const std::string& name) const {
  const Key* key = findPath(path);
  if (!key) return std::nullopt;
  auto it = key->values.find(lower(name));
  if (it == key->values.end()) return std::nullopt;
  return it->second.second;
}

std::vector<std::string> SimulatedRegistry::valueNames(const std::string& path) const {
  std::vector<std::string> names;
  if (const Key* key = findPath(path))
    for (const auto& [lowerName, entry] : key->values) names.push_back(entry.first);
  return names;
}

std::vector<std::string> SimulatedRegistry::subKeyNames(const std::string& path) const {
  std::vector<std::string> names;
  if (const Key* key = findPath(path))
    for (const auto& [lowerName, child] : key->children) names.push_back(child->name);
  return names;
}

}  // namespace orv::headless
