#pragma once

#include <string_view>

// Texts the editor and the command-line tool both show, each written once.
namespace EditorTexts {

inline constexpr const char* wrongFormatCaption = "Wrong File Format";

} // namespace EditorTexts
