// The main window's equaliser and colour panels.
#include "player/app/FormMain.h"

namespace qvr::app {

void TfrmQVRPlayer::OpenEqualizer() {}

void TfrmQVRPlayer::OpenColorControls() {}

}  // namespace qvr::app
