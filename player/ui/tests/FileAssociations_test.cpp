// The association rules without Windows: the catalogue and tree states, and the registry a
// choice leaves behind, on an in-memory registry (which can refuse the machine-wide classes).
#include "player/ui/core/FileAssociations.h"

#include <gtest/gtest.h>

#include "player/ui/tests/FakeAssociationRegistry.h"

namespace qvr::ui {
namespace {

using testing::TFakeAssociationRegistry;
constexpr auto kClasses = TRegistryRoot::ClassesRoot;
constexpr auto kUser = TRegistryRoot::CurrentUser;
const std::string kExe = "C:\\Program Files\\QVR\\QVRPlayer.exe";

TFileTypeTree TreeFrom(TFakeAssociationRegistry& registry) {
  TFileTypeTree tree;
  tree.Build([&](const std::string& ext) {
    std::string value;
    registry.ReadString(kClasses, ExtKeyOf(ext), "", value);
    return NamesOurProgId(value, ext);
  });
  return tree;
}

int ChildIndex(const TFileTypeTree& tree, int group, const std::string& ext) {
  const auto& children = tree.Groups()[static_cast<size_t>(group)].Children;
  for (size_t i = 0; i < children.size(); ++i)
    if (children[i].Text == ext) return static_cast<int>(i);
  return -1;
}

TEST(FileTypeTree, IsSortedWithAudioFirstAndTheCatalogueComplete) {
  TFakeAssociationRegistry registry;
  const TFileTypeTree tree = TreeFrom(registry);
  ASSERT_EQ(2u, tree.Groups().size());
  EXPECT_EQ("Audio", tree.Groups()[0].Node.Text);
  EXPECT_EQ("Video", tree.Groups()[1].Node.Text);
  std::string audio, video;
  for (const auto& n : tree.Groups()[0].Children) audio += n.Text + " ";
  for (const auto& n : tree.Groups()[1].Children) video += n.Text + " ";
  EXPECT_EQ("MP2 MP3 MPA WAV WMA ", audio);
  EXPECT_EQ("ASF AVI DAT DIVX FLV M1V M2V MKV MP4 MPE MPEG MPG VOB WEBM WMV XVID ", video);
  EXPECT_EQ(csUnchecked, tree.State(1, TFileTypeTree::kGroupNode));
  EXPECT_EQ(".m1v", ExtKeyOf("M1V"));
  EXPECT_EQ("QVRPlayer.webm", ProgIdOf("WEBM"));
}

TEST(FileTypeTree, GroupsPassTheirStateDownAndChildrenUp) {
  TFakeAssociationRegistry registry;
  TFileTypeTree tree = TreeFrom(registry);
  tree.Toggle(1, TFileTypeTree::kGroupNode);  // "Video"
  for (const auto& n : tree.Groups()[1].Children) EXPECT_EQ(csChecked, n.State) << n.Text;
  EXPECT_EQ(csChecked, tree.State(1, TFileTypeTree::kGroupNode));
  EXPECT_EQ(csUnchecked, tree.State(0, TFileTypeTree::kGroupNode));
  tree.Toggle(1, ChildIndex(tree, 1, "MKV"));
  EXPECT_EQ(csPartlyChecked, tree.State(1, TFileTypeTree::kGroupNode));
  tree.Toggle(1, TFileTypeTree::kGroupNode);  // partly checked -> all unchecked
  for (const auto& n : tree.Groups()[1].Children) EXPECT_EQ(csUnchecked, n.State) << n.Text;
  EXPECT_EQ(csUnchecked, tree.State(1, TFileTypeTree::kGroupNode));
}

TEST(FileTypeTree, AProgIdInAnotherLetterCaseCountsAsAssociated) {
  TFakeAssociationRegistry registry;
  registry.WriteString(kClasses, ".avi", "", "qvrplayer.avi");
  registry.WriteString(kClasses, ".mkv", "", "QVRPlayer.mkv.old");
  for (const char* ext : {".mp2", ".mp3", ".mpa", ".wav", ".wma"}) registry.WriteString(kClasses, ext, "", std::string("QVRPLAYER") + ext);
  const TFileTypeTree tree = TreeFrom(registry);
  EXPECT_EQ(csChecked, tree.State(1, ChildIndex(tree, 1, "AVI")));
  EXPECT_EQ(csUnchecked, tree.State(1, ChildIndex(tree, 1, "MKV")));
  EXPECT_EQ(csPartlyChecked, tree.State(1, TFileTypeTree::kGroupNode));
  EXPECT_EQ(csChecked, tree.State(0, TFileTypeTree::kGroupNode));
  EXPECT_TRUE(tree.WasInitiallyAssociated("AVI"));
  EXPECT_TRUE(PlanAssociationChanges(tree).empty());
}

TEST(FileTypeTree, AFailingReadKeepsWhatWasBuilt) {
  TFileTypeTree tree;
  tree.Build([](const std::string& ext) -> bool {
    if (ext == "DAT") throw 1;
    return ext == "AVI";
  });
  ASSERT_EQ(1u, tree.Groups().size());
  EXPECT_EQ(2u, tree.Groups()[0].Children.size());
  EXPECT_EQ(csPartlyChecked, tree.State(0, TFileTypeTree::kGroupNode));
}

TEST(ApplyAssociations, RoundTripsTheLayoutAndRestoresThePreviousHandler) {
  TFakeAssociationRegistry registry;
  registry.WriteString(kClasses, ".avi", "", "AVIFile");
  TFileTypeTree tree = TreeFrom(registry);
  tree.Toggle(1, ChildIndex(tree, 1, "AVI"));
  const auto plan = PlanAssociationChanges(tree);
  ASSERT_EQ(1u, plan.size());
  const TApplyResult done = ApplyAssociationChanges(registry, plan, kExe);
  EXPECT_TRUE(done.Changed);
  EXPECT_FALSE(done.Failed);
  EXPECT_EQ("QVRPlayer.avi", registry.Get(kClasses, ".avi"));
  EXPECT_EQ("\"" + kExe + "\",2", registry.Get(kClasses, "QVRPlayer.avi\\DefaultIcon"));
  EXPECT_EQ("\"" + kExe + "\" \"%1\"", registry.Get(kClasses, "QVRPlayer.avi\\shell\\open\\command"));
  EXPECT_EQ("\"" + kExe + "\" \"%L\"", registry.Get(kClasses, "QVRPlayer.avi\\shell\\Play\\command"));
  EXPECT_EQ("", registry.Get(kUser, "Software\\Classes\\.avi\\OpenWithProgIds", "QVRPlayer.avi"));
  EXPECT_EQ("AVIFile", registry.Get(kUser, kAssociatedKey, "AVI"));
  // Registered for Default Apps with the one associated extension.
  EXPECT_EQ("QVR Player", registry.Get(kUser, kCapabilitiesKey, "ApplicationName"));
  EXPECT_NE("<missing>", registry.Get(kUser, kCapabilitiesKey, "ApplicationDescription"));
  EXPECT_EQ("QVRPlayer.avi", registry.Get(kUser, std::string(kCapabilitiesKey) + "\\FileAssociations", ".avi"));
  EXPECT_EQ(kCapabilitiesKey, registry.Get(kUser, kRegisteredApplicationsKey, "QVR Player"));

  TFileTypeTree again = TreeFrom(registry);
  EXPECT_EQ(csChecked, again.State(1, ChildIndex(again, 1, "AVI")));
  again.Toggle(1, ChildIndex(again, 1, "AVI"));
  EXPECT_TRUE(ApplyAssociationChanges(registry, PlanAssociationChanges(again), kExe).Changed);
  EXPECT_EQ("AVIFile", registry.Get(kClasses, ".avi"));
  EXPECT_FALSE(registry.KeyExists(kClasses, "QVRPlayer.avi"));
  EXPECT_FALSE(registry.ValueExists(kUser, "Software\\Classes\\.avi\\OpenWithProgIds", "QVRPlayer.avi"));
  EXPECT_FALSE(registry.ValueExists(kUser, kAssociatedKey, "AVI"));
  // The last un-association removes the registration.
  EXPECT_FALSE(registry.KeyExists(kUser, kClientKey));
  EXPECT_FALSE(registry.ValueExists(kUser, kRegisteredApplicationsKey, "QVR Player"));
}

TEST(ApplyAssociations, AnExtKeyWithoutDefaultEndsWithAnEmptyStringAndNoBackup) {
  TFakeAssociationRegistry registry;
  registry.WriteString(kClasses, ".mkv\\OpenWithList", "x", "y");  // the key exists, its default does not
  ASSERT_TRUE(ApplyAssociationChanges(registry, {{"MKV", true}}, kExe).Changed);
  EXPECT_EQ("", registry.Get(kUser, kAssociatedKey, "MKV"));
  ASSERT_TRUE(ApplyAssociationChanges(registry, {{"MKV", false}}, kExe).Changed);
  EXPECT_EQ("", registry.Get(kClasses, ".mkv"));  // written empty, not deleted
  EXPECT_FALSE(registry.ValueExists(kUser, kAssociatedKey, "MKV"));
  EXPECT_EQ("y", registry.Get(kClasses, ".mkv\\OpenWithList", "x"));
}

TEST(ApplyAssociations, NoChangeWritesNothing) {
  TFakeAssociationRegistry registry;
  registry.WriteString(kClasses, ".wav", "", "QVRPlayer.wav");
  const int before = registry.Writes;
  const TApplyResult done = ApplyAssociationChanges(registry, PlanAssociationChanges(TreeFrom(registry)), kExe);
  EXPECT_FALSE(done.Changed);
  EXPECT_EQ(before, registry.Writes);
}

TEST(ApplyAssociations, RefusedMachineClassesGoPerUserAndComeBackFromThere) {
  TFakeAssociationRegistry registry;
  registry.WriteString(kClasses, ".avi", "", "AVIFile");
  registry.RefuseClassesRootWrites = true;
  const TApplyResult done = ApplyAssociationChanges(registry, {{"AVI", true}, {"MP3", true}}, kExe);
  EXPECT_TRUE(done.Changed);
  EXPECT_FALSE(done.Failed);
  EXPECT_EQ("AVIFile", registry.Get(kClasses, ".avi"));  // untouched
  const std::string classes = "Software\\Classes\\";
  EXPECT_EQ("QVRPlayer.avi", registry.Get(kUser, classes + ".avi"));
  EXPECT_EQ("\"" + kExe + "\",2", registry.Get(kUser, classes + "QVRPlayer.avi\\DefaultIcon"));
  EXPECT_EQ("\"" + kExe + "\" \"%1\"", registry.Get(kUser, classes + "QVRPlayer.avi\\shell\\open\\command"));
  EXPECT_EQ("\"" + kExe + "\" \"%L\"", registry.Get(kUser, classes + "QVRPlayer.avi\\shell\\Play\\command"));
  EXPECT_EQ("AVIFile", registry.Get(kUser, kAssociatedKey, "AVI"));
  EXPECT_EQ("", registry.Get(kUser, kAssociatedKey, "MP3"));

  EXPECT_TRUE(ApplyAssociationChanges(registry, {{"AVI", false}}, kExe).Changed);
  EXPECT_EQ("AVIFile", registry.Get(kUser, classes + ".avi"));
  EXPECT_FALSE(registry.KeyExists(kUser, classes + "QVRPlayer.avi"));
  EXPECT_EQ("QVRPlayer.mp3", registry.Get(kUser, std::string(kCapabilitiesKey) + "\\FileAssociations", ".mp3"));
  EXPECT_EQ("<missing>", registry.Get(kUser, std::string(kCapabilitiesKey) + "\\FileAssociations", ".avi"));
}

// A registry whose per-user writes fail below one key: the failure is reported and ends the rest.
class TRefusingUserKey : public TFakeAssociationRegistry {
 public:
  bool WriteString(TRegistryRoot root, const std::string& key, const std::string& name, const std::string& value) override {
    if (root == kUser && key == kAssociatedKey && name == "MP3") return false;
    return TFakeAssociationRegistry::WriteString(root, key, name, value);
  }
};

TEST(ApplyAssociations, AFailedPerUserWriteIsReportedAndStopsTheRest) {
  TRefusingUserKey registry;
  const TApplyResult done = ApplyAssociationChanges(registry, {{"AVI", true}, {"MP3", true}, {"WAV", true}}, kExe);
  EXPECT_TRUE(done.Failed);
  EXPECT_EQ("Failed to set data for 'MP3'", done.Error);
  EXPECT_EQ("QVRPlayer.avi", registry.Get(kClasses, ".avi"));
  EXPECT_EQ("<missing>", registry.Get(kClasses, ".wav"));
}

TEST(ApplyAssociations, AUserChoiceOfAnotherProgramIsFound) {
  TFakeAssociationRegistry registry;
  registry.WriteString(kUser, UserChoiceKeyOf("AVI"), "ProgId", "WMP11.AssocFile.AVI");
  registry.WriteString(kUser, UserChoiceKeyOf("MKV"), "ProgId", "qvrplayer.MKV");
  EXPECT_EQ(std::vector<std::string>{"AVI"}, ExtensionsChosenElsewhere(registry, {"AVI", "MKV", "WAV"}));
}

}  // namespace
}  // namespace qvr::ui
