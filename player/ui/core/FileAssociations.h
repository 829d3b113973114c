// File-type associations without Windows: the catalogue of extensions the player offers, the
// check-state rules of the dialog's tree, and the application of a choice to the registry
// through a small seam (IAssociationRegistry), which the Win32 side implements on the real
// registry and tests implement in memory.
//
// Registry layout of an associated extension EXT ("AVI"; ext key ".avi", ProgID
// "QVRPlayer.avi"), every value REG_SZ:
//   classes  .avi                               (default) = QVRPlayer.avi
//   classes  QVRPlayer.avi\DefaultIcon          (default) = "exe",2
//   classes  QVRPlayer.avi\shell\open\command   (default) = "exe" "%1"
//   classes  QVRPlayer.avi\shell\Play\command   (default) = "exe" "%L"
//   HKCU     Software\Classes\.avi\OpenWithProgIds   QVRPlayer.avi = ""
//   HKCU     Software\QVRPlayer\Associated           AVI = the previous (default) of .avi
// "classes" is HKEY_CLASSES_ROOT, or HKCU\Software\Classes when a write there is refused (a
// normal user on Windows may not write the machine-wide classes). The player is also
// registered for Settings' Default Apps and "Open with": a Capabilities key with one
// FileAssociations entry per associated extension, named under HKCU\Software\RegisteredApplications.
//
// Everything here is single-threaded and owns no handles.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qvr::ui {

struct TFileTypeGroup {
  std::string Caption;                  // "Video", "Audio"
  std::vector<std::string> Extensions;  // node texts, upper case, catalogue order
};

// "Video" with its 16 extensions, then "Audio" with its 5.
const std::vector<TFileTypeGroup>& FileTypeCatalogue();

std::string ExtKeyOf(std::string_view ext);  // "AVI" -> ".avi"
std::string ProgIdOf(std::string_view ext);  // "AVI" -> "QVRPlayer.avi"
// Whether an ext key's (default) value names our ProgID for `ext`, letter case ignored.
bool NamesOurProgId(std::string_view defaultValue, std::string_view ext);
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

inline constexpr char kAssociatedKey[] = "Software\\QVRPlayer\\Associated";
inline constexpr char kUserClassesKey[] = "Software\\Classes\\";
inline constexpr char kCapabilitiesKey[] = "Software\\Clients\\Media\\QVRPlayer\\Capabilities";
inline constexpr char kClientKey[] = "Software\\Clients\\Media\\QVRPlayer";
inline constexpr char kRegisteredApplicationsKey[] = "Software\\RegisteredApplications";
inline constexpr char kRegisteredApplicationName[] = "QVR Player";
inline constexpr char kApplicationDescription[] = "Plays video and audio files and network streams.";
// Where Windows keeps the user's protected choice of program for an extension.
std::string UserChoiceKeyOf(std::string_view ext);

enum TCheckState : int { csUnchecked = 1, csChecked = 2, csPartlyChecked = 3 };

// The dialog's tree: group nodes with their extension nodes. Indexes address a group and, for
// an extension node, its child (kGroupNode for the group itself).
class TFileTypeTree {
 public:
  static constexpr int kGroupNode = -1;
  struct TNode {
    std::string Text;
    int State = csUnchecked;
  };
  struct TGroup {
    TNode Node;
    std::vector<TNode> Children;
  };

  // Builds the catalogue; `isAssociated(ext)` decides each extension's first state. Groups get
  // their state from their children; the whole tree is then sorted (so "Audio" comes first).
  // A failure (`isAssociated` throwing) is swallowed: the tree keeps what was built until then.
  void Build(const std::function<bool(const std::string& ext)>& isAssociated);

  const std::vector<TGroup>& Groups() const { return groups_; }
  // Extension node texts that were checked when the tree was built.
  const std::vector<std::string>& InitiallyAssociated() const { return initial_; }
  bool WasInitiallyAssociated(std::string_view ext) const;
  int State(int group, int child) const;

  // A click on the state image or the space bar: 1 -> 2, anything else -> 1; a group passes its
  // new state to its children, a child makes its group recompute.
  void Toggle(int group, int child);

  static int GroupStateOf(const std::vector<TNode>& children);

  // Test and building seam: add nodes directly (Build uses these).
  void AddGroup(std::string caption);
  void AddChild(std::string text, bool checked);
  void Finish();  // group states, then sorting

 private:
  std::vector<TGroup> groups_;
  std::vector<std::string> initial_;
};

// The registry as the association code sees it. Roots: HKEY_CLASSES_ROOT and HKEY_CURRENT_USER.
// Writes create missing keys. False means the operation failed (a refused write, a missing key
// for a delete).
enum class TRegistryRoot { ClassesRoot, CurrentUser };
class IAssociationRegistry {
 public:
  virtual ~IAssociationRegistry() = default;
  // The REG_SZ value, or false when the key or value is missing (value then empty). The empty
  // name is the (default) value. Never creates the key.
  virtual bool ReadString(TRegistryRoot root, const std::string& key, const std::string& name, std::string& value) = 0;
  virtual bool WriteString(TRegistryRoot root, const std::string& key, const std::string& name,
                           const std::string& value) = 0;
  virtual bool KeyExists(TRegistryRoot root, const std::string& key) = 0;
  virtual bool ValueExists(TRegistryRoot root, const std::string& key, const std::string& name) = 0;
  virtual bool DeleteValue(TRegistryRoot root, const std::string& key, const std::string& name) = 0;
  // The key with all its subkeys.
  virtual bool DeleteTree(TRegistryRoot root, const std::string& key) = 0;
  virtual std::vector<std::string> ValueNames(TRegistryRoot root, const std::string& key) = 0;
};

// One extension's change.
struct TAssociationChange {
  std::string Ext;
  bool Associate = false;  // false: un-associate
};

// The changes a closed dialog asks for, in tree order: checked and not initially associated
// -> associate; unchecked and initially associated -> un-associate.
std::vector<TAssociationChange> PlanAssociationChanges(const TFileTypeTree& tree);

struct TApplyResult {
  bool Changed = false;  // at least one extension was changed: notify the shell once
  bool Failed = false;   // a failure that is reported; the rest was not applied
  std::string Error;     // the report's text
  std::vector<std::string> Associated;  // extensions associated by this application
};

// Associates an extension: the previous (default) of its ext key is returned. Failures of the
// classes root fall back to HKCU\Software\Classes; false (with `error`) when a per-user write
// fails.
bool Associate(IAssociationRegistry& registry, const std::string& ext, const std::string& exe, bool withIcon,
               std::string& previous, std::string& error);
// Restores `previous` where the association was written and removes the ProgID and its
// OpenWithProgIds value; false (with `error`) when the restored default cannot be written.
bool Unassociate(IAssociationRegistry& registry, const std::string& ext, const std::string& previous, std::string& error);

// Applies the planned changes with their backups and keeps the Default Apps registration in
// step. Stops at the first reported failure.
TApplyResult ApplyAssociationChanges(IAssociationRegistry& registry, const std::vector<TAssociationChange>& changes,
                                     const std::string& exe);

// Extensions among `exts` whose user choice names another program than ours.
std::vector<std::string> ExtensionsChosenElsewhere(IAssociationRegistry& registry, const std::vector<std::string>& exts);

}  // namespace qvr::ui
