// How launchers of one game folder, each its own process, keep out of each
// other's way: at most one normal run per folder, a resident repair that
// steps aside for it, and never two of them moving the folder's files at
// the same moment.
#pragma once

#include <string>

namespace brakkis {

class LauncherInstances {
public:
    virtual ~LauncherInstances() = default;
    // Claims the folder for this process's normal run, for as long as the
    // process lives. False when another launcher's normal run holds it.
    virtual bool ClaimRun(const std::string& gameFolder) = 0;
    // Whether a normal run of the folder, this process's or another's, is on.
    virtual bool RunClaimed(const std::string& gameFolder) = 0;
    // Held around staging and restore; waits while another launcher holds it.
    virtual void LockFiles(const std::string& gameFolder) = 0;
    virtual void UnlockFiles(const std::string& gameFolder) = 0;
    // The game's main window, or else the splash of the launcher whose run
    // holds the folder, to the front.
    virtual void BringRunToFront(const std::string& gameFolder) = 0;
};

}  // namespace brakkis
