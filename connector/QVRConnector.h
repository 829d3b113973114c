// CQVRConnector: the component the extension's script calls. It talks to the suite application
// as a DDE client (service "TclEval", topic "QVRSuite") and by WM_COPYDATA to the suite's window,
// and serves DDE itself (service "FireFox.QVRSuite", topic "Recording") so that the suite can
// report the record button's state.
//
// Threading: construction, destruction, every method and the DDE callback run on the browser's
// main thread (DDE calls back on the thread that initialised it), so the reference count and
// the fields are plain. The DDE callback serves the most recently constructed connector (the
// module-wide current one) and does nothing while there is none.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <string_view>

#include "connector/IQVRConnector.h"

namespace qvr::connector {

class CQVRConnector final : public IQVRConnector {
 public:
  // A new connector with reference count 0, allocated with the browser's allocator; null when
  // out of memory. Initialises its DDE instance and starts an input window thread.
  static CQVRConnector* Create();

  NS_IMETHOD QueryInterface(const nsIID& iid, void** result) override;
  NS_IMETHOD_(nsrefcnt) AddRef() override;
  NS_IMETHOD_(nsrefcnt) Release() override;

  NS_IMETHOD IsSuiteRunning(PRBool* result) override;
  NS_IMETHOD SendUrl(const PRUnichar* url, PRBool* result) override;
  NS_IMETHOD SendToSuiteWindow(const PRUnichar* text, PRBool* result) override;
  NS_IMETHOD RecordStart() override;
  NS_IMETHOD RecordStop() override;
  NS_IMETHOD RecordCheck() override;

 private:
  CQVRConnector();
  ~CQVRConnector();

  // A conversation with the suite, or null when DDE is unusable or the suite does not answer.
  HCONV OpenSuiteConversation() const;
  // Opens a conversation, starts the execute without waiting for it, and disconnects.
  bool SendToSuite(std::u16string_view command) const;

  static HDDEDATA CALLBACK DdeCallback(UINT type, UINT format, HCONV conversation, HSZ string1, HSZ string2,
                                       HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);
  HDDEDATA OnDdeTransaction(UINT type, HCONV conversation, HSZ string1, HSZ string2, HDDEDATA data);

  nsrefcnt references_ = 0;
  DWORD dde_instance_ = 0;  // 0: never initialised
  UINT dde_init_result_ = DMLERR_NO_ERROR;
  HSZ service_ = nullptr;  // "FireFox.QVRSuite"
  HSZ topic_ = nullptr;    // "Recording"
  HCONV server_conversation_ = nullptr;  // the suite's conversation with our server
};

}  // namespace qvr::connector
