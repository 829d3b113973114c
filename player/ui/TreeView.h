// TTreeView: the system tree view as a form control ("treeview" in a layout: attributes
// `indent`, `fullrow`, `readonly`), with state images from a TImageList ("imagelist": `png`
// names a strip of square images, the first of which is the "no state" image). A click on a
// node's state image or the space bar on the selected node raises OnStateToggle; clicks on the
// text only select. Nodes are read and renamed in flat tree order through ItemCount/ItemText/
// SetItemText, which is what the language files use.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "player/ui/Form.h"

namespace qvr::ui {

class TImageList : public TComponent {
 public:
  using TComponent::TComponent;
  ~TImageList() override;
  HIMAGELIST Handle() const { return list_; }
  // Square images cut from the PNG resource, laid over `background`.
  HRESULT LoadStrip(const char* resourceName, TColor background);
  void ApplyAttributes(const TAttributes& attributes) override;

 private:
  HIMAGELIST list_ = nullptr;
};

class TTreeView : public TControl {
 public:
  using TControl::TControl;
  bool CreateControl(TControl* parent, const TRect& bounds) override;
  void ApplyAttributes(const TAttributes& attributes) override;

  void SetStateImages(const TImageList& images);
  HTREEITEM Add(HTREEITEM parent, const std::string& text, int state, LPARAM data);
  void Clear();
  int StateOf(HTREEITEM item) const;
  void SetState(HTREEITEM item, int state);
  LPARAM DataOf(HTREEITEM item) const;
  std::string TextOf(HTREEITEM item) const;
  HTREEITEM Selected() const;
  void Select(HTREEITEM item);
  void ExpandAll();
  void ScrollToTop();
  // Drawing off while many nodes are added.
  void BeginUpdate();
  void EndUpdate();
  // Every node, parents before their children, in display order.
  std::vector<HTREEITEM> Nodes() const;

  int ItemCount() const override;
  std::string ItemText(int index) const override;
  void SetItemText(int index, const std::string& text) override;

  std::function<void(TTreeView& sender, HTREEITEM item)> OnStateToggle;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  DWORD style_ = TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
  int indent_ = 19;
};

}  // namespace qvr::ui
