// TfrmPreferences: the "File Associations" dialog (class "TfrmPreferences", layout
// "TFRMPREFERENCES"). It only collects the choice: the tree of file types with their check
// states, read from the classes root when the dialog is created, and the extensions that were
// associated then. Whoever shows it applies the choice after OK (ApplyFileAssociationChoice).
// Created, shown modally, read and freed on the user-interface thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "player/ui/Form.h"
#include "player/ui/core/FileAssociations.h"

namespace qvr::ui {

class TSkinButton;
class TTreeView;
class TImageList;

class TfrmPreferences : public TForm {
 public:
  static constexpr wchar_t kClassName[] = L"TfrmPreferences";

  // `registry` is read while the dialog is created; `programFolder` ends with a backslash and
  // holds the optional "skin\button.bmp".
  TfrmPreferences(IAssociationRegistry& registry, std::string programFolder);
  ~TfrmPreferences() override;

  // FormCreate: the language, the button skins and the tree. The window is centred over
  // `owner` (the screen without one) and stays hidden until ShowModal.
  HRESULT Create(HWND owner);
  // Disables the owner and runs until OK (IDOK) or Cancel, Esc or WM_CLOSE (IDCANCEL); the
  // window is destroyed then, the tree model stays.
  int ShowModal();

  const TFileTypeTree& Tree() const { return tree_; }
  TTreeView& FileTypes() const { return *tvFileTypes; }

 protected:
  std::unique_ptr<TComponent> CreateComponent(const TLayoutEntry& entry) override;
  bool PreviewKey(const MSG& message) override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void FillTree();
  void ShowStates();
  void tvFileTypesStateToggle(HTREEITEM item);
  void Close(int result);

  IAssociationRegistry& registry_;
  std::string programFolder_;
  HWND owner_ = nullptr;
  TFileTypeTree tree_;
  int result_ = 0;
  bool done_ = false;

  TTreeView* tvFileTypes = nullptr;
  TSkinButton* btnOk = nullptr;
  TSkinButton* BtnCancel = nullptr;
  TImageList* imlFileTypes = nullptr;
};

}  // namespace qvr::ui
