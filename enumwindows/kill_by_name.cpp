#include "enumwindows/mod_enum_windows.h"

#include "enumwindows/process_tree_walk.h"
#include "platform/ascii_case.h"

namespace brakkis {

void modEnumWindows::KillProcessesByName(const std::string& name) {
    killName_ = name;
    EnumerateProcesses();
    for (const auto& entry : processes_) {
        if (entry.item->Parent.expired()) KillInTree(*entry.item);
    }
}

// The root itself is never compared: a root is a placeholder, a process that
// names itself as parent, or one only psapi or the window walk saw. One that
// cannot be ended is gone or not ours to end; the rest go on.
void modEnumWindows::KillInTree(const CProcess& root) {
    ForEachDescendant(root, [&](CProcess& candidate) {
        // Executable names compare without regard to case.
        if (ascii::EqualNoCase(candidate.BaseName, killName_)) {
            system_.Terminate(static_cast<std::uint32_t>(candidate.ProcessID));
        }
    });
}

}  // namespace brakkis
