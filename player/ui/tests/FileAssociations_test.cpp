// The association rules without Windows: the catalogue and tree states, and the registry a
// choice leaves behind on an in-memory registry. The full layout, the per-user fallback and the
// Default Apps registration are checked on the real registry (Associations_win_test.cpp).
#include "player/ui/core/FileAssociations.h"

#include <gtest/gtest.h>

#include "player/ui/tests/FakeAssociationRegistry.h"

namespace qvr::ui {
namespace {

using testing::TFakeAssociationRegistry;
constexpr auto kClasses = TRegistryRoot::ClassesRoot;
constexpr auto kUser = TRegistryRoot::CurrentUser;
const std::string kExe = "C:\\QVR\\QVRPlayer.exe";

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

}  // namespace
}  // namespace qvr::ui
