#pragma once

#include <string_view>

// Whether bytes are strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF,
// no sequence cut short. The one check the editor and the tool use for names.
bool isValidUtf8(std::string_view bytes);
