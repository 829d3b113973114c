// The main window's file-association dialog, from the menu and on the first run.
#include "player/app/FormMainAssociations.h"

#include "player/app/FormMain.h"
#include "player/app/Registry.h"
#include "player/ui/AssociationRegistry.h"
#include "player/ui/uPreferences.h"

namespace qvr::app {

void TfrmQVRPlayer::ShowAssociations() {
  ui::TWin32AssociationRegistry registry;
  ui::TfrmPreferences dialog(registry, startup_.ProgramFolder);
  if (FAILED(dialog.Create(Handle()))) return;
  if (dialog.ShowModal() != IDOK) return;
  ui::ApplyFileAssociationChoice(dialog.Tree(), ui::RunningProgramPath(), registry, ui::DefaultAssociationShell(), Handle());
}

void BindFirstRunAssociations(TfrmQVRPlayer& form) {
  form.OnFirstRun = [&form] {
    // Written first, so that a crash inside the dialog does not bring it back at every start.
    RegWriteInt(kPlayerKey, "Run", 1);
    form.ShowAssociations();
  };
}

}  // namespace qvr::app
