// Where the playlist is kept between runs. The program's folder when the program may write
// there (a portable copy), otherwise the user's application-data folder ("QVRPlayer\" below
// it): a normal installation's folder under Program Files is not writable, and a 64-bit program
// gets no virtualised copy of it. Start-up loads from and the close sequence saves to the path
// this gives, so the list comes back from where it was written.
#pragma once

#include <string>

namespace qvr::app {

// `programFolder` ends with a backslash. The application-data folder is created when needed.
std::string DefaultPlaylistPath(const std::string& programFolder);

// Whether a new file can be created in `folder` (probed with a temporary file, removed again).
bool FolderIsWritable(const std::string& folder);

}  // namespace qvr::app
