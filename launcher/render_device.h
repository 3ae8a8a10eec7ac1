// The game's render-device setting: the text from the first "GameRenderDevice"
// (any letter case, anywhere) up to the first CR LF after it.
#pragma once

#include <string>

namespace brakkis {

// Raises error 5 when the key is missing or has no CR LF after it.
std::string RenderDeviceLine(const std::string& text);

// Every occurrence of oldText, compared without regard to case, replaced.
std::string ReplaceAllNoCase(const std::string& text, const std::string& oldText, const std::string& newText);

}  // namespace brakkis
