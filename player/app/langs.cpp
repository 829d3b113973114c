#include "player/app/langs.h"

#include <windows.h>

#include "common/win/text.h"
#include "player/app/Registry.h"
#include "player/ui/Menus.h"

namespace qvr::app {

namespace {

std::string& CurrentName() {
  static std::string name;
  return name;
}

// The program's translator is made at load; the variable is read then, and only then.
std::string StartupDirVariable() {
  const std::wstring variable = Utf8ToWide(kStartupDirVariable);
  const DWORD size = ::GetEnvironmentVariableW(variable.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  value.resize(::GetEnvironmentVariableW(variable.c_str(), value.data(), size));
  return WideToUtf8(value);
}

void TranslateControl(ui::TControl& control, const TLangFile& file, const std::string& section) {
  const std::string& name = control.Name();
  if (auto text = file.Value(section, name + ".Caption")) control.SetText(*text);
  if (auto hint = file.Value(section, name + ".Hint")) control.SetHint(*hint);
  // Rows of a list box, nodes of a tree view in flat order: only those that exist now.
  const int count = control.ItemCount();
  for (int i = 0; i < count; ++i)
    if (auto item = file.Value(section, ItemKey(name, i))) control.SetItemText(i, *item);
}

}  // namespace

void TCustomLangs::ScanFolder(const std::string& folder) {
  folder_ = folder;
  for (const std::string& name : LanguageFilesIn(folder, fileSystem_)) AddLanguageFile(name);
}

void TCustomLangs::AddLanguageFile(const std::string& fileName) {
  TLanguageRecord record;
  record.LangFile = fileSystem_.JoinPath(folder_, fileName);
  std::string bytes;
  fileSystem_.ReadWholeFile(record.LangFile, bytes);  // an unreadable file gives language 0
  const int id = TLangFile::Parse(bytes, fileSystem_.SystemCodePage()).IntValue(kCommonSection, kLanguageKey);
  record.Primary = PrimaryLanguageOf(id);
  record.Sub = SubLanguageOf(id);
  record.LangName = LanguageDisplayName(id);
  list_.push_back(std::move(record));
}

TLanguageRecord TCustomLangs::GetLanguage(int index) const {
  if (index < 0 || index >= LanguageCount()) return {};
  return list_[static_cast<size_t>(index)];
}

std::optional<TLanguageRecord> TCustomLangs::FindLanguage(int primary, int sub) const {
  for (const TLanguageRecord& record : list_)
    if (record.Primary == primary && record.Sub == sub) return record;
  return std::nullopt;
}

std::string TCustomLangs::LanguageDisplayName(int languageId) const {
  const LCID locale = MAKELCID(static_cast<WORD>(languageId), SORT_DEFAULT);
  wchar_t name[256] = {};
  if (!::GetLocaleInfoW(locale, LOCALE_SLANGUAGE, name, 256)) return {};
  return WideToUtf8(name);
}

void TCustomLangs::TranslateForm(ui::TForm& form, int primary, int sub, const std::string& fileName) {
  std::string path = fileName;
  if (path.empty()) {
    const std::optional<TLanguageRecord> record = FindLanguage(primary, sub);
    if (!record) return;
    path = record->LangFile;
  }
  std::string bytes;
  if (fileSystem_.ReadWholeFile(path, bytes)) return;  // missing: the texts stay
  const TLangFile file = TLangFile::Parse(bytes, fileSystem_.SystemCodePage());
  const std::string& section = form.Name();
  if (auto caption = file.Value(section, section + ".Caption")) form.SetText(*caption);
  for (ui::TComponent* component : form.Components()) {
    if (!component->IsVisual()) continue;  // timers, picture holders, the pop-up menus themselves
    if (auto* item = dynamic_cast<ui::TMenuItem*>(component)) {
      if (auto text = file.Value(section, item->Name() + ".Caption")) item->Caption = *text;
      if (auto hint = file.Value(section, item->Name() + ".Hint")) item->Hint = *hint;
    } else if (auto* control = dynamic_cast<ui::TControl*>(component)) {
      TranslateControl(*control, file, section);
    }
  }
  if (form.Handle()) ::RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

TLangs::TLangs() : TCustomLangs(win32FileSystem_) {
  const std::string variable = StartupDirVariable();
  ScanFolder(LanguageListFolder(variable.empty() ? nullptr : variable.c_str(), win32FileSystem_));
}

TLangs& Langs() {
  static TLangs langs;
  return langs;
}

const std::string& CurrentLanguageName() { return CurrentName(); }
void SetCurrentLanguageName(const std::string& name) { CurrentName() = name; }

std::string LanguageFilePath(const std::string& programFolder, const std::string& name) {
  return programFolder + "Language\\" + name + ".lng";
}

std::string ChooseLanguage() {
  std::string name;
  if (!RegReadString(kSuiteKey, "Language", name)) {
    wchar_t abbreviation[16] = {};
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, abbreviation, 16);
    name = LanguageForLocale(WideToUtf8(abbreviation));
  }
  SetCurrentLanguageName(name);
  return name;
}

void LoadLanguage(const std::string& programFolder, const std::string& name) {
  const std::string path = LanguageFilePath(programFolder, name);
  if (!ui::TWin32FileSystem().FileExists(path)) return;
  SetCurrentLanguageName(name);
  // A form may close while another is translated: walk a copy.
  const std::vector<ui::TForm*> forms = ui::OpenForms();
  for (ui::TForm* form : forms)
    if (form->Tag() == 0) Langs().TranslateForm(*form, 2, 1, path);
}

void InstallFormTranslator(const std::string& programFolder) {
  ui::SetFormTranslator([programFolder](ui::TForm& form) {
    Langs().TranslateForm(form, 2, 1, LanguageFilePath(programFolder, CurrentLanguageName()));
  });
}

}  // namespace qvr::app
