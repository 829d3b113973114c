// qvrplay --controls: a window showing every skinned control of the player, live (hover, press,
// latch, drag), for looking at the skin and for end-to-end runs of the window layer.
#pragma once

namespace qvr::console {

// Runs the gallery until its close button is pressed; returns the process exit code.
int RunControlsGallery();

}  // namespace qvr::console
