#pragma once

#include <string>
#include <string_view>

// Texts the editor and the command-line tool both show, each written once.
namespace EditorTexts {

inline constexpr const char* wrongFormatCaption = "Wrong File Format";
// The caption of the editor's own message boxes.
inline constexpr const char* appTitle = "VanetoEditor";

// A name as the editor's messages quote it: "Strings".
inline std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace EditorTexts
