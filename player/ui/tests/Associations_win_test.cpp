// The file-association dialog on real windows, driven by messages, and what its choice leaves in
// the real registry, read back with the Win32 API place by place.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "common/testing/WinTestSupport.h"
#include "common/win/text.h"
#include "player/ui/AssociationRegistry.h"
#include "player/ui/TreeView.h"
#include "player/ui/tests/AssociationRegistryGuard.h"
#include "player/ui/uButton.h"
#include "player/ui/uPreferences.h"

namespace {

using namespace qvr::ui;
using qvr::ui::testing::RegKeyExists;
using qvr::ui::testing::RegValue;
namespace fs = std::filesystem;

// The real registry, except that HKEY_CLASSES_ROOT refuses every write, as Windows does for a
// normal user where no per-user key exists. (Wine runs as administrator and never refuses.)
class TRefusingClassesRoot : public TWin32AssociationRegistry {
 public:
  bool WriteString(TRegistryRoot root, const std::string& key, const std::string& name, const std::string& value) override {
    if (root == TRegistryRoot::ClassesRoot) return false;
    return TWin32AssociationRegistry::WriteString(root, key, name, value);
  }
};

class Associations : public qvr::testing::ComTest {
 protected:
  void SetUp() override {
    ComTest::SetUp();
    folder_ = fs::path(qvr::testing::ExeDirectory()) / "associations";
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    previous_ = SetExceptionReporter([this](const std::string& m) { reported_.push_back(m); });
    shell_.NotifyAssociationsChanged = [this] { ++notified_; };
    shell_.AskToConfirmInSettings = [this](HWND, const std::vector<std::string>& exts) {
      asked_ = exts;
      return true;
    };
    shell_.Open = [this](HWND, const std::wstring& target) { opened_.push_back(target); };
  }
  void TearDown() override {
    dialog_.reset();
    fs::remove_all(folder_);
    SetExceptionReporter(previous_);
  }
  std::string Folder() const { return qvr::WideToUtf8(folder_.wstring()) + "\\"; }

  TfrmPreferences& Open() {
    dialog_ = std::make_unique<TfrmPreferences>(registry_, Folder());
    EXPECT_EQ(S_OK, dialog_->Create(nullptr));
    return *dialog_;
  }
  HTREEITEM Node(const std::string& text) {
    for (HTREEITEM item : dialog_->FileTypes().Nodes())
      if (dialog_->FileTypes().TextOf(item) == text) return item;
    ADD_FAILURE() << "no node " << text;
    return nullptr;
  }
  int State(const std::string& text) { return dialog_->FileTypes().StateOf(Node(text)); }
  // A press of the left button at the node's state image (on = true) or on its text.
  void Click(const std::string& text, bool onStateImage) {
    HWND tree = dialog_->FileTypes().Handle();
    RECT r{};
    TreeView_GetItemRect(tree, Node(text), &r, TRUE);
    const int x = onStateImage ? r.left - 8 : r.left + 4, y = (r.top + r.bottom) / 2;
    // The release waits in the queue: the control's press on the text runs a loop that looks
    // for it there (drag detection).
    ::PostMessageW(tree, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    ::SendMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PumpPendingMessages();
  }
  void Space(const std::string& text) {
    dialog_->FileTypes().Select(Node(text));
    ::SendMessageW(dialog_->FileTypes().Handle(), WM_KEYDOWN, VK_SPACE, 0);
  }
  // Runs the dialog with a press of OK (or a key) waiting in its queue.
  int CloseWithOk() {
    ::PostMessageW(dialog_->Find<TSkinButton>("btnOk")->Handle(), BM_CLICK, 0, 0);
    return dialog_->ShowModal();
  }
  TApplyResult Apply(IAssociationRegistry& registry) {
    return ApplyFileAssociationChoice(dialog_->Tree(), kExe, registry, shell_, nullptr);
  }

  const std::string kExe = "C:\\QVR\\QVRPlayer.exe";
  qvr::ui::testing::TAssociationRegistryGuard guard_;
  TWin32AssociationRegistry registry_;
  TAssociationShell shell_;
  int notified_ = 0;
  std::vector<std::string> asked_;
  std::vector<std::wstring> opened_;
  fs::path folder_;
  std::unique_ptr<TfrmPreferences> dialog_;
  std::vector<std::string> reported_;
  TExceptionReporter previous_;
};

TEST_F(Associations, TheDialogShowsTheSortedCatalogueSkinnedAndTranslatedAtCreation) {
  std::vector<std::string> translated;
  SetFormTranslator([&](TForm& form) { translated.push_back(form.Name()); });
  // With a skin file beside the program, the buttons are skinned.
  fs::create_directories(folder_ / "skin");
  {
    const int w = 300, h = 23, stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + stride * h), 0, 0,
                          sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    BITMAPINFOHEADER info{sizeof(info), w, h, 1, 24, BI_RGB};
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * h, 0x80);
    FILE* f = _wfopen((folder_ / "skin" / "button.bmp").c_str(), L"wb");
    ASSERT_NE(nullptr, f);
    std::fwrite(&file, sizeof(file), 1, f);
    std::fwrite(&info, sizeof(info), 1, f);
    std::fwrite(rows.data(), 1, rows.size(), f);
    std::fclose(f);
  }
  ::RegSetValueW(HKEY_CLASSES_ROOT, L".avi", REG_SZ, L"qvrplayer.AVI", 13);  // another letter case
  TfrmPreferences& dialog = Open();
  SetFormTranslator(nullptr);
  EXPECT_EQ(std::vector<std::string>{"frmPreferences"}, translated);
  wchar_t text[64] = {};
  ::GetClassNameW(dialog.Handle(), text, 64);
  EXPECT_STREQ(L"TfrmPreferences", text);
  ::GetWindowTextW(dialog.Handle(), text, 64);
  EXPECT_STREQ(L"File Associations", text);
  RECT client{};
  ::GetClientRect(dialog.Handle(), &client);
  EXPECT_EQ(327, client.right);
  EXPECT_EQ(291, client.bottom);
  EXPECT_FALSE(::GetWindowLongW(dialog.Handle(), GWL_STYLE) & WS_SYSMENU);
  TTreeView& tree = dialog.FileTypes();
  EXPECT_EQ(19, static_cast<int>(TreeView_GetIndent(tree.Handle())));
  EXPECT_NE(nullptr, TreeView_GetImageList(tree.Handle(), TVSIL_STATE));
  ASSERT_EQ(23, tree.ItemCount());
  EXPECT_EQ("Audio", tree.ItemText(0));
  EXPECT_EQ("MP2", tree.ItemText(1));
  EXPECT_EQ("Video", tree.ItemText(6));
  EXPECT_EQ("XVID", tree.ItemText(22));
  EXPECT_EQ(TreeView_GetRoot(tree.Handle()), TreeView_GetFirstVisible(tree.Handle()));
  EXPECT_TRUE(TreeView_GetItemState(tree.Handle(), Node("Video"), TVIS_EXPANDED) & TVIS_EXPANDED);
  EXPECT_EQ(csChecked, State("AVI"));
  EXPECT_EQ(csPartlyChecked, State("Video"));
  EXPECT_EQ(csUnchecked, State("Audio"));
  EXPECT_EQ(std::vector<std::string>{"AVI"}, dialog.Tree().InitiallyAssociated());
  EXPECT_TRUE(dialog.Find<TSkinButton>("btnOk")->Skinned());
  EXPECT_TRUE(dialog.Find<TSkinButton>("BtnCancel")->Skinned());
  // The language files reach the nodes by index.
  tree.SetItemText(0, "Ton");
  EXPECT_EQ("Ton", tree.TextOf(TreeView_GetRoot(tree.Handle())));
}

TEST_F(Associations, ClicksAndTheSpaceBarToggleAndOkAppliesInTreeOrder) {
  Open();
  Click("AVI", false);  // on the text: selects only
  EXPECT_EQ(Node("AVI"), dialog_->FileTypes().Selected());
  EXPECT_EQ(csUnchecked, State("AVI"));
  Click("AVI", true);
  EXPECT_EQ(csChecked, State("AVI"));
  EXPECT_EQ(csPartlyChecked, State("Video"));
  Space("Audio");
  for (const char* ext : {"MP2", "MP3", "MPA", "WAV", "WMA"}) EXPECT_EQ(csChecked, State(ext)) << ext;
  Space("MP3");
  EXPECT_EQ(csPartlyChecked, State("Audio"));
  EXPECT_EQ(IDOK, CloseWithOk());
  const TApplyResult done = Apply(registry_);
  EXPECT_EQ((std::vector<std::string>{"MP2", "MPA", "WAV", "WMA", "AVI"}), done.Associated);
  EXPECT_EQ(1, notified_);
  EXPECT_TRUE(reported_.empty());

  EXPECT_EQ(L"QVRPlayer.avi", RegValue(HKEY_CLASSES_ROOT, ".avi"));
  EXPECT_EQ(L"\"C:\\QVR\\QVRPlayer.exe\",2", RegValue(HKEY_CLASSES_ROOT, "QVRPlayer.avi\\DefaultIcon"));
  EXPECT_EQ(L"\"C:\\QVR\\QVRPlayer.exe\" \"%1\"", RegValue(HKEY_CLASSES_ROOT, "QVRPlayer.avi\\shell\\open\\command"));
  EXPECT_EQ(L"\"C:\\QVR\\QVRPlayer.exe\" \"%L\"", RegValue(HKEY_CLASSES_ROOT, "QVRPlayer.avi\\shell\\Play\\command"));
  EXPECT_EQ(L"", RegValue(HKEY_CURRENT_USER, "Software\\Classes\\.avi\\OpenWithProgIds", "QVRPlayer.avi"));
  EXPECT_TRUE(RegValue(HKEY_CURRENT_USER, kAssociatedKey, "AVI"));
  EXPECT_FALSE(RegValue(HKEY_CLASSES_ROOT, ".mp3") == L"QVRPlayer.mp3");

  // Opened again: the states come from the registry; Esc cancels and changes nothing.
  Open();
  EXPECT_EQ(csChecked, State("AVI"));
  EXPECT_EQ(csPartlyChecked, State("Audio"));
  Click("Audio", true);  // partly checked -> all unchecked
  EXPECT_EQ(csUnchecked, State("WAV"));
  ::PostMessageW(dialog_->FileTypes().Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(IDCANCEL, dialog_->ShowModal());
  EXPECT_EQ(L"QVRPlayer.wav", RegValue(HKEY_CLASSES_ROOT, ".wav"));

  // Un-associated: the previous handler is back, our keys and values are gone.
  const std::optional<std::wstring> backup = RegValue(HKEY_CURRENT_USER, kAssociatedKey, "AVI");
  Open();
  Click("AVI", true);
  Click("Audio", true);
  EXPECT_EQ(IDOK, CloseWithOk());
  Apply(registry_);
  EXPECT_EQ(2, notified_);
  EXPECT_EQ(backup, RegValue(HKEY_CLASSES_ROOT, ".avi"));
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "QVRPlayer.avi"));
  EXPECT_FALSE(RegValue(HKEY_CURRENT_USER, "Software\\Classes\\.avi\\OpenWithProgIds", "QVRPlayer.avi"));
  EXPECT_FALSE(RegValue(HKEY_CURRENT_USER, kAssociatedKey, "AVI"));
  EXPECT_FALSE(RegValue(HKEY_CURRENT_USER, kAssociatedKey, "WAV"));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kClientKey));
  EXPECT_FALSE(RegValue(HKEY_CURRENT_USER, kRegisteredApplicationsKey, kRegisteredApplicationName));
}

TEST_F(Associations, ARefusedClassesRootWriteGoesPerUserAndIsUndoneThere) {
  TRefusingClassesRoot refusing;
  const std::optional<std::wstring> before = RegValue(HKEY_CLASSES_ROOT, ".mkv");
  TApplyResult done = ApplyAssociationChanges(refusing, {{"MKV", true}}, kExe);
  EXPECT_TRUE(done.Changed);
  EXPECT_FALSE(done.Failed);
  EXPECT_EQ(before, RegValue(HKEY_CLASSES_ROOT, ".mkv"));
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "QVRPlayer.mkv"));
  EXPECT_EQ(L"QVRPlayer.mkv", RegValue(HKEY_CURRENT_USER, "Software\\Classes\\.mkv"));
  EXPECT_EQ(L"\"C:\\QVR\\QVRPlayer.exe\",2", RegValue(HKEY_CURRENT_USER, "Software\\Classes\\QVRPlayer.mkv\\DefaultIcon"));
  EXPECT_EQ(L"\"C:\\QVR\\QVRPlayer.exe\" \"%1\"",
            RegValue(HKEY_CURRENT_USER, "Software\\Classes\\QVRPlayer.mkv\\shell\\open\\command"));
  EXPECT_EQ(L"\"C:\\QVR\\QVRPlayer.exe\" \"%L\"",
            RegValue(HKEY_CURRENT_USER, "Software\\Classes\\QVRPlayer.mkv\\shell\\Play\\command"));
  EXPECT_EQ(before.value_or(L""), RegValue(HKEY_CURRENT_USER, kAssociatedKey, "MKV"));

  done = ApplyAssociationChanges(refusing, {{"MKV", false}}, kExe);
  EXPECT_FALSE(done.Failed);
  EXPECT_EQ(before.value_or(L""), RegValue(HKEY_CURRENT_USER, "Software\\Classes\\.mkv"));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Classes\\QVRPlayer.mkv"));
  EXPECT_FALSE(RegValue(HKEY_CURRENT_USER, "Software\\Classes\\.mkv\\OpenWithProgIds", "QVRPlayer.mkv"));
}

TEST_F(Associations, DefaultAppsListsTheAssociatedAndTheNoteOpensSettings) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, qvr::Utf8ToWide(UserChoiceKeyOf("AVI")).c_str(), L"ProgId", REG_SZ,
                    L"WMP11.AssocFile.AVI", 40);
  ApplyAssociationChanges(registry_, {{"FLV", true}}, kExe);
  // The real note, answered Yes by a thread; the shell is asked for Default Apps.
  shell_.AskToConfirmInSettings = DefaultAssociationShell().AskToConfirmInSettings;
  std::thread answer([] {
    HWND note = nullptr;
    for (int i = 0; i < 200 && !note; ++i, ::Sleep(25)) note = ::FindWindowW(L"#32770", kDefaultAppsNoteTitle);
    if (note) ::PostMessageW(note, WM_COMMAND, IDYES, 0);
  });
  Open();
  Click("AVI", true);
  Click("MP4", true);
  EXPECT_EQ(IDOK, CloseWithOk());
  Apply(registry_);
  answer.join();
  EXPECT_EQ(std::vector<std::wstring>{L"ms-settings:defaultapps"}, opened_);
  const std::string fileAssociations = std::string(kCapabilitiesKey) + "\\FileAssociations";
  EXPECT_EQ(L"QVR Player", RegValue(HKEY_CURRENT_USER, kCapabilitiesKey, "ApplicationName"));
  EXPECT_TRUE(RegValue(HKEY_CURRENT_USER, kCapabilitiesKey, "ApplicationDescription"));
  for (const char* ext : {".flv", ".avi", ".mp4"})
    EXPECT_EQ(qvr::Utf8ToWide(std::string("QVRPlayer") + ext), RegValue(HKEY_CURRENT_USER, fileAssociations, ext)) << ext;
  EXPECT_EQ(qvr::Utf8ToWide(kCapabilitiesKey), RegValue(HKEY_CURRENT_USER, kRegisteredApplicationsKey, "QVR Player"));

  ApplyAssociationChanges(registry_, {{"AVI", false}, {"MP4", false}}, kExe);
  EXPECT_FALSE(RegValue(HKEY_CURRENT_USER, fileAssociations, ".avi"));
  EXPECT_TRUE(RegValue(HKEY_CURRENT_USER, fileAssociations, ".flv"));
  ApplyAssociationChanges(registry_, {{"FLV", false}}, kExe);
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kClientKey));
  EXPECT_FALSE(RegValue(HKEY_CURRENT_USER, kRegisteredApplicationsKey, "QVR Player"));
}

}  // namespace
