#include "player/ui/core/FileAssociations.h"

#include <algorithm>

namespace qvr::ui {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::vector<std::string> SplitAtSpaces(std::string_view text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t space = text.find(' ', start);
    parts.emplace_back(text.substr(start, space == std::string_view::npos ? std::string_view::npos : space - start));
    if (space == std::string_view::npos) return parts;
    start = space + 1;
  }
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return LowerAscii(x) < LowerAscii(y); });
}

std::string SetDataError(const std::string& name) { return "Failed to set data for '" + name + "'"; }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The layout under one place of the classes: "" for HKEY_CLASSES_ROOT, or HKCU's
// "Software\Classes\".
bool WriteClassesLayout(IAssociationRegistry& registry, TRegistryRoot root, const std::string& prefix,
                        const std::string& ext, const std::string& exe, bool withIcon) {
  const std::string extKey = ExtKeyOf(ext), progId = ProgIdOf(ext);
  if (!registry.WriteString(root, prefix + extKey, "", progId)) return false;
  if (withIcon && !registry.WriteString(root, prefix + progId + "\\DefaultIcon", "", Quoted(exe) + ",2")) return false;
  return registry.WriteString(root, prefix + progId + "\\shell\\open\\command", "", Quoted(exe) + " \"%1\"") &&
         registry.WriteString(root, prefix + progId + "\\shell\\Play\\command", "", Quoted(exe) + " \"%L\"");
}

std::string UserClassesKey(const std::string& key) { return std::string(kUserClassesKey) + key; }

std::string FileAssociationsKey() { return std::string(kCapabilitiesKey) + "\\FileAssociations"; }

}  // namespace

const std::vector<TFileTypeGroup>& FileTypeCatalogue() {
  static const std::vector<TFileTypeGroup> catalogue{
      {"Video", SplitAtSpaces("ASF AVI DAT DIVX FLV M1V M2V MKV MP4 MPE MPEG MPG VOB WEBM WMV XVID")},
      {"Audio", SplitAtSpaces("MP2 MP3 MPA WAV WMA")},
  };
  return catalogue;
}

std::string ExtKeyOf(std::string_view ext) {
  std::string key = ".";
  for (char c : ext) key += LowerAscii(c);
  return key;
}

std::string ProgIdOf(std::string_view ext) { return "QVRPlayer" + ExtKeyOf(ext); }

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

bool NamesOurProgId(std::string_view defaultValue, std::string_view ext) {
  return SameTextIgnoringCase(defaultValue, "QVRPlayer." + std::string(ext));
}

std::string UserChoiceKeyOf(std::string_view ext) {
  return "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\" + ExtKeyOf(ext) + "\\UserChoice";
}

// --- the tree ----------------------------------------------------------------------------------

void TFileTypeTree::Build(const std::function<bool(const std::string& ext)>& isAssociated) {
  groups_.clear();
  initial_.clear();
  try {
    for (const TFileTypeGroup& group : FileTypeCatalogue()) {
      AddGroup(group.Caption);
      for (const std::string& ext : group.Extensions) AddChild(ext, isAssociated(ext));
    }
  } catch (...) {
    // What could not be read stays out of the tree; the rest is shown.
  }
  Finish();
}

void TFileTypeTree::AddGroup(std::string caption) { groups_.push_back({{std::move(caption), csUnchecked}, {}}); }

void TFileTypeTree::AddChild(std::string text, bool checked) {
  if (checked) initial_.push_back(text);
  groups_.back().Children.push_back({std::move(text), checked ? csChecked : csUnchecked});
}

void TFileTypeTree::Finish() {
  const auto byText = [](const TNode& a, const TNode& b) { return LessIgnoringCase(a.Text, b.Text); };
  for (TGroup& group : groups_) {
    group.Node.State = GroupStateOf(group.Children);
    std::stable_sort(group.Children.begin(), group.Children.end(), byText);
  }
  std::stable_sort(groups_.begin(), groups_.end(), [&](const TGroup& a, const TGroup& b) { return byText(a.Node, b.Node); });
}

bool TFileTypeTree::WasInitiallyAssociated(std::string_view ext) const {
  return std::find(initial_.begin(), initial_.end(), ext) != initial_.end();
}

int TFileTypeTree::State(int group, int child) const {
  const TGroup& g = groups_.at(static_cast<size_t>(group));
  return child == kGroupNode ? g.Node.State : g.Children.at(static_cast<size_t>(child)).State;
}

int TFileTypeTree::GroupStateOf(const std::vector<TNode>& children) {
  const auto checked = std::count_if(children.begin(), children.end(), [](const TNode& n) { return n.State == csChecked; });
  if (checked == 0) return csUnchecked;
  return checked == static_cast<std::ptrdiff_t>(children.size()) ? csChecked : csPartlyChecked;
}

void TFileTypeTree::Toggle(int group, int child) {
  TGroup& g = groups_.at(static_cast<size_t>(group));
  if (child == kGroupNode) {
    g.Node.State = g.Node.State == csUnchecked ? csChecked : csUnchecked;
    for (TNode& node : g.Children) node.State = g.Node.State;
    return;
  }
  TNode& node = g.Children.at(static_cast<size_t>(child));
  node.State = node.State == csUnchecked ? csChecked : csUnchecked;
  g.Node.State = GroupStateOf(g.Children);
}

// --- applying a choice ---------------------------------------------------------------------------

std::vector<TAssociationChange> PlanAssociationChanges(const TFileTypeTree& tree) {
  std::vector<TAssociationChange> changes;
  for (const auto& group : tree.Groups()) {
    for (const auto& node : group.Children) {
      const bool initially = tree.WasInitiallyAssociated(node.Text);
      if (node.State == csUnchecked && initially) changes.push_back({node.Text, false});
      else if (node.State == csChecked && !initially) changes.push_back({node.Text, true});
    }
  }
  return changes;
}

bool Associate(IAssociationRegistry& registry, const std::string& ext, const std::string& exe, bool withIcon,
               std::string& previous, std::string& error) {
  const std::string extKey = ExtKeyOf(ext), progId = ProgIdOf(ext);
  previous.clear();
  registry.ReadString(TRegistryRoot::ClassesRoot, extKey, "", previous);
  // A normal user on Windows may not write the machine-wide classes, which HKEY_CLASSES_ROOT
  // writes go to unless the key exists per user: the same layout then goes per user, where the
  // shell's merged view finds it.
  if (!WriteClassesLayout(registry, TRegistryRoot::ClassesRoot, "", ext, exe, withIcon) &&
      !WriteClassesLayout(registry, TRegistryRoot::CurrentUser, kUserClassesKey, ext, exe, withIcon)) {
    error = SetDataError(UserClassesKey(extKey));
    return false;
  }
  if (!registry.WriteString(TRegistryRoot::CurrentUser, UserClassesKey(extKey) + "\\OpenWithProgIds", progId, "")) {
    error = SetDataError(progId);
    return false;
  }
  return true;
}

bool Unassociate(IAssociationRegistry& registry, const std::string& ext, const std::string& previous, std::string& error) {
  const std::string extKey = ExtKeyOf(ext), progId = ProgIdOf(ext);
  // Restored where the association was written: per user when it went there.
  std::string value;
  const bool perUser = registry.ReadString(TRegistryRoot::CurrentUser, UserClassesKey(extKey), "", value) &&
                       NamesOurProgId(value, ext);
  if (perUser && !registry.WriteString(TRegistryRoot::CurrentUser, UserClassesKey(extKey), "", previous)) {
    error = SetDataError(UserClassesKey(extKey));
    return false;
  }
  if (registry.KeyExists(TRegistryRoot::ClassesRoot, extKey)) {
    const bool ours = registry.ReadString(TRegistryRoot::ClassesRoot, extKey, "", value) && NamesOurProgId(value, ext);
    if (!perUser || ours) {
      // Once restored per user, a refusal here only concerns the machine's classes, which the
      // association never reached.
      if (!registry.WriteString(TRegistryRoot::ClassesRoot, extKey, "", previous) && !perUser) {
        error = SetDataError(extKey);
        return false;
      }
    }
  }
  registry.DeleteTree(TRegistryRoot::ClassesRoot, progId);
  registry.DeleteTree(TRegistryRoot::CurrentUser, UserClassesKey(progId));
  const std::string openWith = UserClassesKey(extKey) + "\\OpenWithProgIds";
  if (registry.KeyExists(TRegistryRoot::CurrentUser, openWith) &&
      registry.ValueExists(TRegistryRoot::CurrentUser, openWith, progId))
    registry.DeleteValue(TRegistryRoot::CurrentUser, openWith, progId);
  return true;
}

TApplyResult ApplyAssociationChanges(IAssociationRegistry& registry, const std::vector<TAssociationChange>& changes,
                                     const std::string& exe) {
  constexpr auto user = TRegistryRoot::CurrentUser;
  TApplyResult result;
  for (const TAssociationChange& change : changes) {
    if (change.Associate) {
      std::string previous;
      if (!Associate(registry, change.Ext, exe, true, previous, result.Error)) {
        result.Failed = true;
        break;
      }
      if (!registry.WriteString(user, kAssociatedKey, change.Ext, previous)) {
        result.Failed = true;
        result.Error = SetDataError(change.Ext);
        break;
      }
      result.Changed = true;
      result.Associated.push_back(change.Ext);
      // The registration for Default Apps and "Open with" is a courtesy: it never stops the rest.
      registry.WriteString(user, kCapabilitiesKey, "ApplicationName", kRegisteredApplicationName);
      registry.WriteString(user, kCapabilitiesKey, "ApplicationDescription", kApplicationDescription);
      registry.WriteString(user, FileAssociationsKey(), ExtKeyOf(change.Ext), ProgIdOf(change.Ext));
      registry.WriteString(user, kRegisteredApplicationsKey, kRegisteredApplicationName, kCapabilitiesKey);
    } else {
      std::string backup;
      registry.ReadString(user, kAssociatedKey, change.Ext, backup);
      registry.DeleteValue(user, kAssociatedKey, change.Ext);
      if (!Unassociate(registry, change.Ext, backup, result.Error)) {
        result.Failed = true;
        break;
      }
      result.Changed = true;
      registry.DeleteValue(user, FileAssociationsKey(), ExtKeyOf(change.Ext));
    }
  }
  if (result.Changed && registry.ValueNames(user, FileAssociationsKey()).empty()) {
    registry.DeleteTree(user, kClientKey);
    registry.DeleteValue(user, kRegisteredApplicationsKey, kRegisteredApplicationName);
  }
  return result;
}

std::vector<std::string> ExtensionsChosenElsewhere(IAssociationRegistry& registry, const std::vector<std::string>& exts) {
  std::vector<std::string> elsewhere;
  for (const std::string& ext : exts) {
    std::string progId;
    if (registry.ReadString(TRegistryRoot::CurrentUser, UserChoiceKeyOf(ext), "ProgId", progId) && !progId.empty() &&
        !NamesOurProgId(progId, ext))
      elsewhere.push_back(ext);
  }
  return elsewhere;
}

}  // namespace qvr::ui
