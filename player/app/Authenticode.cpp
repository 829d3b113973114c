#include "player/app/Authenticode.h"

#include <wincrypt.h>
#include <softpub.h>
#include <wintrust.h>

#include <cwctype>
#include <memory>

#include "common/win/text.h"
#include "player/app/core/UpdateRules.h"

namespace qvr::app {
namespace {

struct ChainCloser {
  void operator()(PCCERT_CHAIN_CONTEXT chain) const noexcept { ::CertFreeCertificateChain(chain); }
};
using unique_chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainCloser>;

// Closes the state WinVerifyTrust keeps between WTD_STATEACTION_VERIFY and _CLOSE.
class TrustState {
 public:
  explicit TrustState(WINTRUST_DATA& data) : data_(data) {}
  TrustState(const TrustState&) = delete;
  TrustState& operator=(const TrustState&) = delete;
  ~TrustState() {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data_);
  }

 private:
  WINTRUST_DATA& data_;
};

std::string SimpleName(PCCERT_CONTEXT cert) {
  wchar_t name[512] = {};
  ::CertGetNameStringW(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, ARRAYSIZE(name));
  return WideToUtf8(name);
}

std::string Thumbprint(PCCERT_CONTEXT cert) {
  BYTE hash[20];
  DWORD size = sizeof(hash);
  if (!::CertGetCertificateContextProperty(cert, CERT_SHA1_HASH_PROP_ID, hash, &size)) return {};
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (DWORD i = 0; i < size; ++i) {
    hex += digits[hash[i] >> 4];
    hex += digits[hash[i] & 15];
  }
  return hex;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::towlower(static_cast<unsigned char>(c)));
  return text;
}

// The chain's trust errors as the certificate errors Windows itself reports.
HRESULT ChainError(DWORD status) {
  if (status == 0) return S_OK;
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) return CERT_E_EXPIRED;
  if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return CERT_E_WRONG_USAGE;
  if (status & CERT_TRUST_IS_UNTRUSTED_ROOT) return CERT_E_UNTRUSTEDROOT;
  if (status & CERT_TRUST_IS_PARTIAL_CHAIN) return CERT_E_CHAINING;
  return TRUST_E_FAIL;
}

}  // namespace

TSignerPin ProgramSignerPin() { return {kUpdatePublisher, kUpdateRootThumbprint, kUpdateRootSubject}; }

bool InstallerTrusted(const std::string& path) {
  return SUCCEEDED(VerifyInstaller(Utf8ToWide(path), ProgramSignerPin()));
}

HRESULT VerifyInstaller(const std::wstring& path, const TSignerPin& pin) {
  WINTRUST_FILE_INFO file{sizeof(file)};
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data{sizeof(data)};
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG trust = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  TrustState state(data);
  // Wine answers some failures (a missing file) with a plain Win32 error code.
  if (trust > 0) return HRESULT_FROM_WIN32(static_cast<DWORD>(trust));
  if (trust != ERROR_SUCCESS) return static_cast<HRESULT>(trust);

  // Wine 8's WinVerifyTrust passes an untrusted root, an incomplete chain, an expired leaf and a
  // leaf without the code-signing usage (measured, see the platform notes); the chain checks
  // below give the right verdict there and repeat what Windows has already checked.
  CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data.hWVTStateData);
  CRYPT_PROVIDER_SGNR* signer = provider ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  if (!signer || !signer->pChainContext) return TRUST_E_NOSIGNATURE;
  if (const HRESULT hr = ChainError(signer->pChainContext->TrustStatus.dwErrorStatus); FAILED(hr)) return hr;
  CRYPT_PROVIDER_CERT* leafEntry = ::WTHelperGetProvCertFromChain(signer, 0);
  if (!leafEntry || !leafEntry->pCert) return TRUST_E_NOSIGNATURE;
  PCCERT_CONTEXT leaf = leafEntry->pCert;

  LPSTR codeSigning[] = {const_cast<LPSTR>(szOID_PKIX_KP_CODE_SIGNING)};
  CERT_CHAIN_PARA para{sizeof(para)};
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = codeSigning;
  PCCERT_CHAIN_CONTEXT rawChain = nullptr;
  if (!::CertGetCertificateChain(nullptr, leaf, nullptr, leaf->hCertStore, &para, CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL,
                                 nullptr, &rawChain)) {
    return HRESULT_FROM_WIN32(::GetLastError());
  }
  const unique_chain chain(rawChain);
  if (const HRESULT hr = ChainError(chain->TrustStatus.dwErrorStatus); FAILED(hr)) return hr;
  CERT_CHAIN_POLICY_PARA policyPara{sizeof(policyPara)};
  CERT_CHAIN_POLICY_STATUS policy{sizeof(policy)};
  if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, chain.get(), &policyPara, &policy)) {
    return HRESULT_FROM_WIN32(::GetLastError());
  }
  if (policy.dwError != 0) return static_cast<HRESULT>(policy.dwError);
  if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return CERT_E_CHAINING;
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;

  if (SimpleName(leaf) != pin.Publisher) return TRUST_E_SUBJECT_NOT_TRUSTED;
  const bool rootMatches =
      pin.RootThumbprint.empty() ? SimpleName(root) == pin.RootSubject : Thumbprint(root) == Lower(pin.RootThumbprint);
  return rootMatches ? S_OK : CERT_E_ISSUERCHAINING;
}

}  // namespace qvr::app
