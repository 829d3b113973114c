// TSkinButton: a system push button that, once skinned, is owner-drawn from a four-frame image
// strip (0 normal, 1 unused, 2 hot, 3 pressed or latched down) with its caption on top.
#pragma once

#include <string>

#include "player/ui/Form.h"

namespace qvr::ui {

class TSkinButton : public TControl {
 public:
  static constexpr int kDefaultWidth = 75;
  static constexpr int kDefaultHeight = 23;

  TSkinButton(TForm* owner, std::string name);

  bool CreateControl(TControl* parent, const TRect& bounds) override;

  // Strip = (4 x width) x height filled with SkinColor, the named image scaled onto it.
  HRESULT LoadSkin(const char* resourceName, const char* resourceType = "PNG");
  // A bitmap file drawn over SkinColor with SkinColor transparent; false (and nothing
  // changes) when the file does not exist or is no bitmap.
  bool LoadSkinFromFile(const std::string& path);

  TColor SkinColor() const { return skinColor_; }
  void SetSkinColor(TColor color) { skinColor_ = color; }  // takes effect at the next load
  bool Hot() const { return hot_; }
  void SetHot(bool hot);
  bool Toggle() const { return toggle_; }
  void SetToggle(bool toggle) { toggle_ = toggle; }
  bool Down() const { return down_; }
  void SetDown(bool down);  // only while Toggle is set
  bool Skinned() const { return static_cast<bool>(strip_); }
  // The resource the skin was last loaded from ("" for none or a file).
  const std::string& SkinName() const { return skinName_; }
  // The default-button look the system asked for, stored but never drawn.
  bool DefaultLook() const { return defaultLook_; }

  TNotifyEvent OnClick;

  void ApplyAttributes(const TAttributes& attributes) override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  bool HandleReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  void MakeOwnerDrawn();
  void Draw(const DRAWITEMSTRUCT& item) const;

  unique_hbitmap strip_;
  TSize stripSize_;
  TColor skinColor_;
  bool hot_ = false;
  bool toggle_ = false;
  bool down_ = false;
  bool defaultLook_ = false;
  std::string skinName_;
};

}  // namespace qvr::ui
