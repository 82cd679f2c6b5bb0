#pragma once

#include <string_view>

// Texts the editor and the command-line tool both show, each written once.
namespace EditorTexts {

inline constexpr const char* wrongFormatCaption = "Wrong File Format";
// The caption of the editor's own message boxes.
inline constexpr const char* appTitle = "VanetoEditor";

} // namespace EditorTexts
