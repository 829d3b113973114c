// Authenticode check of a downloaded installer: a valid signature over the file, a chain to a
// root the system trusts that allows code signing and is time valid, the expected publisher,
// and the pinned root. Callable from any thread; never touches the network (no revocation or
// certificate fetching, so a test run never contacts a host).
#pragma once

#include <windows.h>

#include <string>

namespace qvr::app {

struct TSignerPin {
  std::string Publisher;       // the signing certificate's simple display name, exactly
  std::string RootThumbprint;  // SHA-1 of the root, hex (either case); empty: pin RootSubject
  std::string RootSubject;     // the root's simple display name, used when no thumbprint is given
};

// The pin the program carries (player/app/core/UpdateRules.h).
TSignerPin ProgramSignerPin();

// S_OK when the file passes; otherwise the first failure: WinVerifyTrust's own result,
// CERT_E_CHAINING / CERT_E_UNTRUSTEDROOT / CERT_E_EXPIRED / CERT_E_WRONG_USAGE for the chain,
// CERT_E_ISSUERCHAINING for a root that is not the pinned one, TRUST_E_SUBJECT_NOT_TRUSTED for
// another publisher.
HRESULT VerifyInstaller(const std::wstring& path, const TSignerPin& pin);

// VerifyInstaller with the program's pin, for the start-up step that offers a downloaded update.
bool InstallerTrusted(const std::string& path);

}  // namespace qvr::app
