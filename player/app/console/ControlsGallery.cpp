#include "player/app/console/ControlsGallery.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "player/ui/Form.h"
#include "player/ui/PanelX.h"
#include "player/ui/Tracker.h"
#include "player/ui/uButton.h"

namespace qvr::console {

namespace {

using namespace qvr::ui;

class TfrmSkinDemo : public TForm {
 public:
  TfrmSkinDemo() : TForm("frmSkinDemo") {}

  HRESULT Create() {
    if (const HRESULT hr = CreateFormFromResource("TFRMSKINDEMO", L"TfrmSkinDemo", WS_POPUP, 0, nullptr); FAILED(hr))
      return hr;
    auto* status = Find<TStaticText>("stValue");
    for (const char* name : {"trSeek", "trVolume", "trBand1", "trBand2", "trBand3"}) {
      Find<TTracker>(name)->OnChangedValue = [status](TTracker& sender, int value) {
        status->SetText(sender.Name() + " = " + std::to_string(value));
      };
    }
    Find<TSkinButton>("btnClose")->OnClick = [](TComponent&) { ::PostQuitMessage(0); };
    Find<TSkinButton>("btnMin")->OnClick = [this](TComponent&) { ::ShowWindow(Handle(), SW_MINIMIZE); };
    Find<TSkinButton>("btnPlay")->OnClick = [this](TComponent& sender) {
      playing_ = !playing_;
      static_cast<TSkinButton&>(sender).LoadSkin(playing_ ? "btn_pause" : "btn_play");
    };
    Find<TSkinButton>("btnRepeat")->OnClick = [this, status](TComponent&) {
      status->SetText(Find<TSkinButton>("btnRepeat")->Down() ? "btnRepeat down" : "btnRepeat up");
    };
    // A right click releases the latched buttons, as their owners would.
    auto* buttons = Find<TSkinPanel>("pButtons");
    buttons->OnMouseDown = [this](TControl&, TMouseButton button, UINT, TPoint) {
      if (button != TMouseButton::mbRight) return;
      for (const char* name : {"btnRepeat", "btnToggle"}) Find<TSkinButton>(name)->SetDown(false);
    };
    // The title bar moves the window.
    Find<TSkinPanel>("pTop")->OnMouseDown = [this](TControl&, TMouseButton, UINT, TPoint) {
      ::ReleaseCapture();
      ::SendMessageW(Handle(), WM_SYSCOMMAND, 0xF012, 0);  // SC_MOVE + HTCAPTION
    };
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - Width()) / 2, y = (::GetSystemMetrics(SM_CYSCREEN) - Height()) / 2;
    ::SetWindowPos(Handle(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    return S_OK;
  }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_CLOSE) {
      ::PostQuitMessage(0);
      return 0;
    }
    return TForm::HandleMessage(message, wparam, lparam);
  }

 private:
  bool playing_ = false;
};

}  // namespace

int RunControlsGallery() {
  TfrmSkinDemo form;
  if (const HRESULT hr = form.Create(); FAILED(hr)) {
    std::fprintf(stderr, "qvrplay: the controls gallery cannot be created (0x%08lX)\n", static_cast<unsigned long>(hr));
    return 1;
  }
  std::printf("Controls gallery shown\n");
  std::fflush(stdout);
  return RunMessageLoop();
}

}  // namespace qvr::console
