#pragma once

#include <string>
#include <string_view>

// Whether bytes are strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF,
// no sequence cut short. The one check the editor and the tool use for names.
bool isValidUtf8(std::string_view bytes);

// How a name held as bytes is shown: unchanged when it is valid UTF-8, otherwise read as
// Latin-1 (files written on other systems) and given as UTF-8.
std::string displayName(const std::string& bytes);
// The last component of a path, shown as displayName shows names.
std::string displayFileName(const std::string& path);

// The text with A to Z made a to z and every other byte left alone (for matching names and
// answers without regard to case).
std::string asciiLowerCase(std::string text);
