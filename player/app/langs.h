// The translator of the player's forms and the current language.
//
// TCustomLangs reads language files (rules in player/app/core/LangFile.h) and replaces the texts
// of a form's components with them; TLangs is the one instance the program keeps from load to
// end (Langs()), with the list of language files found under "ZuraRerStartupDir". The main
// window chooses the language (ChooseLanguage) and applies it to every open form
// (LoadLanguage); secondary forms translate themselves at creation through the seam
// ui::TranslateAtCreation, which InstallFormTranslator points here. Texts reach the windows as
// UTF-16, so a file of any language shows right whatever the system code page. Everything runs
// on the user-interface thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "player/app/core/LangFile.h"
#include "player/ui/Form.h"
#include "player/ui/Win32FileSystem.h"

namespace qvr::app {

inline constexpr char kSuiteKey[] = "Software\\QVRSuite";
inline constexpr char kStartupDirVariable[] = "ZuraRerStartupDir";

struct TLanguageRecord {
  int Primary = 0;       // primary language, 10 bits
  int Sub = 0;           // sublanguage
  std::string LangName;  // the Windows name of the language
  std::string LangFile;  // full file name
};

class TCustomLangs {
 public:
  explicit TCustomLangs(ui::IFileSystem& fileSystem) : fileSystem_(fileSystem) {}
  TCustomLangs(const TCustomLangs&) = delete;
  TCustomLangs& operator=(const TCustomLangs&) = delete;
  virtual ~TCustomLangs() = default;

  // Appends a record for every "*.lng" file of `folder`, in directory order.
  void ScanFolder(const std::string& folder);
  const std::string& Folder() const { return folder_; }

  // Reads [Common] "Language" of `fileName` (in Folder()) and appends its record.
  void AddLanguageFile(const std::string& fileName);
  int LanguageCount() const { return static_cast<int>(list_.size()); }
  // A copy of record `index`; an empty record out of range.
  TLanguageRecord GetLanguage(int index) const;
  std::optional<TLanguageRecord> FindLanguage(int primary, int sub) const;

  // Replaces the texts of `form` from `fileName`, or, when that is empty, from the file of the
  // record FindLanguage gives (nothing without one). A missing file or key leaves the text.
  void TranslateForm(ui::TForm& form, int primary, int sub, const std::string& fileName);

 protected:
  // The display name of a language identifier, from the Windows locale data.
  virtual std::string LanguageDisplayName(int languageId) const;

 private:
  ui::IFileSystem& fileSystem_;
  std::string folder_;
  std::vector<TLanguageRecord> list_;
};

class TLangs final : public TCustomLangs {
 public:
  // Scans the folder "ZuraRerStartupDir" names, when it is set.
  TLangs();

 private:
  ui::TWin32FileSystem win32FileSystem_;
};

// The program's translator, made on first use (the program makes it at load).
TLangs& Langs();

// The current language name ("english", "russian"...), the base name of its file.
const std::string& CurrentLanguageName();
void SetCurrentLanguageName(const std::string& name);
// programFolder (with its trailing backslash) + "Language\" + name + ".lng".
std::string LanguageFilePath(const std::string& programFolder, const std::string& name);

// The suite's "Language" value, else the user's locale (LanguageForLocale); it becomes the
// current language name, which is returned.
std::string ChooseLanguage();
// With the file of `name` present: it becomes the current language and every open form with
// Tag 0 is translated from it. Without the file nothing changes.
void LoadLanguage(const std::string& programFolder, const std::string& name);
// Secondary forms translate themselves from the current language's file at creation.
void InstallFormTranslator(const std::string& programFolder);

}  // namespace qvr::app
