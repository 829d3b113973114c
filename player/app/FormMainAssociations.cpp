// The main window's file-association dialog.
#include "player/app/FormMain.h"

namespace qvr::app {

void TfrmQVRPlayer::ShowAssociations() {}

}  // namespace qvr::app
