// The component's interface as the extension's script sees it, and the identities under which
// the browser finds it. Slot order is binding: 3..8 after nsISupports. Booleans are 32-bit.
// Every method runs on the browser's main thread and returns NS_OK for any valid call.
#pragma once

#include "connector/xpcom/xpcom.h"

inline constexpr nsCID kQVRConnectorCID = {0x0FAFC73B, 0x3118, 0x4F95, {0x99, 0x9D, 0x7F, 0x10, 0x00, 0xCC, 0x25, 0x3B}};
inline constexpr char kQVRConnectorContractID[] = "@qvrsuite.com/qvr_connector;1";

class IQVRConnector : public nsISupports {
 public:
  static constexpr nsIID kIID = {0x6A5D64CB, 0x3118, 0x4F95, {0x99, 0x9D, 0x7F, 0x10, 0x00, 0xCC, 0x25, 0x3B}};

  // 1 if a DDE conversation with the suite could be opened (it is closed again at once).
  NS_IMETHOD IsSuiteRunning(PRBool* result) = 0;
  // Hands a page URL to the suite as the command "url {URL}"; 1 if it was sent.
  NS_IMETHOD SendUrl(const PRUnichar* url, PRBool* result) = 0;
  // Sends a text to the suite's window by WM_COPYDATA; 1 if the window exists.
  NS_IMETHOD SendToSuiteWindow(const PRUnichar* text, PRBool* result) = 0;
  // Recording commands; nothing happens when the suite cannot be reached.
  NS_IMETHOD RecordStart() = 0;
  NS_IMETHOD RecordStop() = 0;
  NS_IMETHOD RecordCheck() = 0;

 protected:
  ~IQVRConnector() = default;
};
