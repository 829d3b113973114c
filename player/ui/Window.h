// The bottom of the player's window layer: an object that owns one HWND and receives its
// messages as a virtual call, the one message pump, and the rule that no exception leaves a
// window procedure (it is reported and the program goes on).
//
// A TWindow finds itself from the window procedure through a window property, set from the
// create parameter (our own classes) or right after creation (system classes such as BUTTON and
// STATIC, which are subclassed). Messages that Windows sends to a parent about a child (WM_DRAWITEM,
// WM_MEASUREITEM, WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*) are handed back to the child's
// HandleReflected first, so each control draws and colours itself.
//
// Everything here runs on the user-interface thread that created the window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "player/ui/core/ControlGeometry.h"

namespace qvr::ui {

// Shows what an event handler threw. The default is the standard error message box; tests
// install a recorder. Returns the previous reporter.
using TExceptionReporter = std::function<void(const std::string& message)>;
TExceptionReporter SetExceptionReporter(TExceptionReporter reporter);
void ReportException(const std::string& message);

// Runs `action`, reporting anything it throws; returns whether it completed.
bool GuardedCall(const std::function<void()>& action) noexcept;

class TWindow {
 public:
  TWindow() = default;
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;
  virtual ~TWindow();

  HWND Handle() const { return handle_; }
  // The object behind a window of ours, or null.
  static TWindow* FromHandle(HWND window);

  // The window's parent object (null for a top-level window or a foreign parent).
  TWindow* ParentWindow() const;

  void Invalidate() const;
  void Repaint() const;  // invalidate and paint now
  void DestroyHandle();

  // A descendant reports that the pointer left it; a panel uses this to learn that the pointer
  // left through a child. The default passes it further up.
  virtual void DescendantMouseLeft();

 protected:
  // Registers one of our window classes (once per process; later calls only check).
  static bool RegisterWindowClass(const wchar_t* className, UINT style, HCURSOR cursor, HBRUSH background);
  // Creates a window of one of our classes. `bounds` are in the parent's client coordinates.
  bool CreateHandle(const wchar_t* className, DWORD exStyle, DWORD style, const std::string& text, const TRect& bounds,
                    HWND parent, HMENU menu = nullptr);
  // Creates a window of a system class and subclasses it.
  bool CreateSystemHandle(const wchar_t* className, DWORD exStyle, DWORD style, const std::string& text,
                          const TRect& bounds, HWND parent, HMENU menu = nullptr);

  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // What the window class itself does with the message (DefWindowProc, or the subclassed
  // system procedure).
  LRESULT DefaultHandler(UINT message, WPARAM wparam, LPARAM lparam);
  // A notification the parent received about this window; return true with `result` to answer it.
  virtual bool HandleReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Dispatch(UINT message, WPARAM wparam, LPARAM lparam);
  bool Reflect(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  void Attach(HWND window);

  HWND handle_ = nullptr;
  WNDPROC systemProc_ = nullptr;  // set for subclassed system controls
};

// Implemented by a top-level window that wants to see keyboard messages before the focused
// control does (a form's key preview, dialog navigation).
class IMessageFilter {
 public:
  virtual ~IMessageFilter() = default;
  // True when the message was consumed and must not be dispatched.
  virtual bool PreTranslate(MSG& message) = 0;
};

// The program's one message pump: runs until WM_QUIT arrives in the queue and returns its exit
// code. Keyboard messages go first to the IMessageFilter of the top-level window they belong to.
int RunMessageLoop();
// Dispatches what is queued now, without waiting; false when WM_QUIT was taken from the queue
// (it is posted again for the outer loop).
bool PumpPendingMessages();

}  // namespace qvr::ui
