// The first-run task of the main window: the file-association dialog, once.
#pragma once

namespace qvr::app {

class TfrmQVRPlayer;

// Binds the main window's OnFirstRun: "Run" := 1, then the dialog (ShowAssociations).
void BindFirstRunAssociations(TfrmQVRPlayer& form);

}  // namespace qvr::app
