// Keeps libraries that the program loads after start-up to the system
// folder, so a DLL dropped into the game folder is never picked up.
#pragma once

namespace brakkis {

// Call first thing, before anything can load a library.
void RestrictDllSearchToSystem() noexcept;

}  // namespace brakkis
