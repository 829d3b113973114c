// An in-memory registry for the association code: keys and value names without regard to
// letter case, as the real one; it counts the changes.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "player/ui/core/FileAssociations.h"

namespace qvr::ui::testing {

class TFakeAssociationRegistry : public IAssociationRegistry {
 public:
  int Writes = 0;  // every successful change: writes and deletions

  bool ReadString(TRegistryRoot root, const std::string& key, const std::string& name, std::string& value) override {
    value.clear();
    const auto k = keys_.find(Id(root, key));
    if (k == keys_.end()) return false;
    const auto v = k->second.find(Lower(name));
    if (v == k->second.end()) return false;
    value = v->second;
    return true;
  }
  bool WriteString(TRegistryRoot root, const std::string& key, const std::string& name, const std::string& value) override {
    // Creating a key creates its parents.
    for (size_t slash = key.find('\\'); slash != std::string::npos; slash = key.find('\\', slash + 1))
      keys_[Id(root, key.substr(0, slash))];
    keys_[Id(root, key)][Lower(name)] = value;
    ++Writes;
    return true;
  }
  bool KeyExists(TRegistryRoot root, const std::string& key) override { return keys_.count(Id(root, key)) != 0; }
  bool ValueExists(TRegistryRoot root, const std::string& key, const std::string& name) override {
    const auto k = keys_.find(Id(root, key));
    return k != keys_.end() && k->second.count(Lower(name)) != 0;
  }
  bool DeleteValue(TRegistryRoot root, const std::string& key, const std::string& name) override {
    const auto k = keys_.find(Id(root, key));
    if (k == keys_.end() || k->second.erase(Lower(name)) == 0) return false;
    ++Writes;
    return true;
  }
  bool DeleteTree(TRegistryRoot root, const std::string& key) override {
    const std::pair<TRegistryRoot, std::string> id = Id(root, key);
    bool found = false;
    for (auto k = keys_.begin(); k != keys_.end();) {
      if (k->first.first == root && (k->first.second == id.second || k->first.second.rfind(id.second + "\\", 0) == 0)) {
        k = keys_.erase(k);
        found = true;
      } else {
        ++k;
      }
    }
    if (found) ++Writes;
    return found;
  }
  std::vector<std::string> ValueNames(TRegistryRoot root, const std::string& key) override {
    std::vector<std::string> names;
    if (const auto k = keys_.find(Id(root, key)); k != keys_.end())
      for (const auto& [name, value] : k->second) names.push_back(name);
    return names;
  }

  // Test reading: the value, or "<missing>".
  std::string Get(TRegistryRoot root, const std::string& key, const std::string& name = "") {
    std::string value;
    return ReadString(root, key, name, value) ? value : "<missing>";
  }

 private:
  static std::string Lower(std::string text) {
    for (char& c : text)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
  }
  static std::pair<TRegistryRoot, std::string> Id(TRegistryRoot root, const std::string& key) { return {root, Lower(key)}; }

  std::map<std::pair<TRegistryRoot, std::string>, std::map<std::string, std::string>> keys_;
};

}  // namespace qvr::ui::testing
