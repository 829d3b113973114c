#include "player/ui/uPreferences.h"

#include "player/ui/TreeView.h"
#include "player/ui/uButton.h"

namespace qvr::ui {

namespace {

// A node's place in the tree model, kept as the node's data.
LPARAM NodeData(int group, int child) { return static_cast<LPARAM>(group) << 16 | static_cast<LPARAM>(child + 1); }
int GroupOf(LPARAM data) { return static_cast<int>(data >> 16); }
int ChildOf(LPARAM data) { return static_cast<int>(data & 0xFFFF) - 1; }

}  // namespace

TfrmPreferences::TfrmPreferences(IAssociationRegistry& registry, std::string programFolder)
    : TForm("frmPreferences"), registry_(registry), programFolder_(std::move(programFolder)) {}

TfrmPreferences::~TfrmPreferences() {
  if (owner_ && !::IsWindowEnabled(owner_)) ::EnableWindow(owner_, TRUE);
  DestroyHandle();
}

std::unique_ptr<TComponent> TfrmPreferences::CreateComponent(const TLayoutEntry& entry) {
  if (entry.Kind == "treeview") return std::make_unique<TTreeView>(this, entry.Name);
  if (entry.Kind == "imagelist") return std::make_unique<TImageList>(this, entry.Name);
  return TForm::CreateComponent(entry);
}

HRESULT TfrmPreferences::Create(HWND owner) {
  owner_ = owner;
  // A fixed dialog frame with a caption and no title-bar buttons.
  if (const HRESULT hr = CreateFormFromResource("TFRMPREFERENCES", kClassName, WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN,
                                                WS_EX_DLGMODALFRAME, owner);
      FAILED(hr))
    return hr;
  tvFileTypes = Find<TTreeView>("tvFileTypes");
  btnOk = Find<TSkinButton>("btnOk");
  BtnCancel = Find<TSkinButton>("BtnCancel");
  imlFileTypes = Find<TImageList>("imlFileTypes");
  if (!tvFileTypes || !btnOk || !BtnCancel || !imlFileTypes) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  SetKeyPreview(true);

  // 1. The language (the tree is built afterwards, so its captions stay as they are).
  TranslateAtCreation(*this);
  // 2. A missing file leaves the standard buttons.
  const std::string skin = programFolder_ + "skin\\button.bmp";
  btnOk->LoadSkinFromFile(skin);
  BtnCancel->LoadSkinFromFile(skin);
  // 3-5.
  tvFileTypes->SetStateImages(*imlFileTypes);
  tvFileTypes->OnStateToggle = [this](TTreeView&, HTREEITEM item) { tvFileTypesStateToggle(item); };
  btnOk->OnClick = [this](TComponent&) { Close(IDOK); };
  BtnCancel->OnClick = [this](TComponent&) { Close(IDCANCEL); };
  FillTree();

  RECT frame{};
  ::GetWindowRect(Handle(), &frame);
  RECT over{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (owner) ::GetWindowRect(owner, &over);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  ::SetWindowPos(Handle(), nullptr, over.left + (over.right - over.left - width) / 2,
                 over.top + (over.bottom - over.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return S_OK;
}

void TfrmPreferences::FillTree() {
  tree_.Build([this](const std::string& ext) {
    std::string value;
    registry_.ReadString(TRegistryRoot::ClassesRoot, ExtKeyOf(ext), "", value);
    return NamesOurProgId(value, ext);
  });
  tvFileTypes->BeginUpdate();
  tvFileTypes->Clear();
  for (size_t g = 0; g < tree_.Groups().size(); ++g) {
    const auto& group = tree_.Groups()[g];
    HTREEITEM parent = tvFileTypes->Add(nullptr, group.Node.Text, group.Node.State, NodeData(static_cast<int>(g), -1));
    for (size_t c = 0; c < group.Children.size(); ++c)
      tvFileTypes->Add(parent, group.Children[c].Text, group.Children[c].State,
                       NodeData(static_cast<int>(g), static_cast<int>(c)));
  }
  tvFileTypes->ExpandAll();
  tvFileTypes->EndUpdate();
  tvFileTypes->ScrollToTop();
}

void TfrmPreferences::ShowStates() {
  for (HTREEITEM item : tvFileTypes->Nodes()) {
    const LPARAM data = tvFileTypes->DataOf(item);
    tvFileTypes->SetState(item, tree_.State(GroupOf(data), ChildOf(data)));
  }
}

void TfrmPreferences::tvFileTypesStateToggle(HTREEITEM item) {
  const LPARAM data = tvFileTypes->DataOf(item);
  tree_.Toggle(GroupOf(data), ChildOf(data));
  ShowStates();
}

void TfrmPreferences::Close(int result) {
  result_ = result;
  done_ = true;
}

int TfrmPreferences::ShowModal() {
  if (!Handle()) return IDCANCEL;
  const bool ownerEnabled = owner_ && ::IsWindowEnabled(owner_);
  if (ownerEnabled) ::EnableWindow(owner_, FALSE);
  ::ShowWindow(Handle(), SW_SHOWNORMAL);
  ::SetForegroundWindow(Handle());
  tvFileTypes->SetFocus();
  done_ = false;
  result_ = IDCANCEL;
  MSG message;
  while (!done_ && Handle()) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) ::PostQuitMessage(static_cast<int>(message.wParam));  // for the outer loop
      result_ = IDCANCEL;
      break;
    }
    if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST &&
        (message.hwnd == Handle() || ::IsChild(Handle(), message.hwnd))) {
      bool consumed = false;
      GuardedCall([&] { consumed = PreTranslate(message); });
      if (consumed) continue;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  if (ownerEnabled) ::EnableWindow(owner_, TRUE);
  // Gone once answered; the choice stays readable in Tree(). (Under Wine on a display without
  // a window manager this takes two seconds: the driver waits for a withdrawal no one makes.)
  DestroyHandle();
  if (owner_) ::SetForegroundWindow(owner_);
  return result_;
}

bool TfrmPreferences::PreviewKey(const MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  if (message.wParam == VK_ESCAPE) {
    Close(IDCANCEL);
    return true;
  }
  if (message.wParam == VK_RETURN) {
    Close(::GetFocus() == BtnCancel->Handle() ? IDCANCEL : IDOK);
    return true;
  }
  if (message.wParam == VK_TAB) {
    // Focus goes round the tree and the two buttons.
    const HWND order[] = {tvFileTypes->Handle(), btnOk->Handle(), BtnCancel->Handle()};
    const bool back = ::GetKeyState(VK_SHIFT) & 0x8000;
    size_t at = 0;
    for (size_t i = 0; i < 3; ++i)
      if (order[i] == ::GetFocus()) at = i;
    ::SetFocus(order[(at + (back ? 2 : 1)) % 3]);
    return true;
  }
  return false;
}

LRESULT TfrmPreferences::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CLOSE) {
    Close(IDCANCEL);
    return 0;
  }
  return TForm::HandleMessage(message, wparam, lparam);
}

}  // namespace qvr::ui
