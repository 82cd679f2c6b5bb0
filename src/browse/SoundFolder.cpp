#include "browse/SoundFolder.h"

#include "wavetable/WavetableImport.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool hasExtension(const std::string& name, std::initializer_list<const char*> extensions) {
    const std::string ext = lower(std::filesystem::path(name).extension().string());
    return std::any_of(extensions.begin(), extensions.end(),
                       [&ext](const char* e) { return ext == e; });
}

} // namespace

bool SoundFolder::isBankFile(const std::string& name) {
    return hasExtension(name, {".mid", ".midi", ".smf"});
}

bool SoundFolder::isSoundFile(const std::string& name) {
    return hasExtension(name, {".wav", ".wave", ".aif", ".aiff", ".aifc", ".flac", ".ogg", ".oga",
                               ".opus", ".mp3"}) ||
           isBankFile(name);
}

bool SoundFolder::list(const std::filesystem::path& folder, std::vector<Entry>& entries,
                       std::string& error) {
    entries.clear();
    std::error_code code;
    std::filesystem::directory_iterator it(folder, code);
    if (code) {
        error = code.message();
        return false;
    }
    // Every step moves on or ends the listing.
    for (const std::filesystem::directory_iterator end; it != end; it.increment(code)) {
        if (code) {
            break;
        }
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') {
            continue;
        }
        std::error_code kind;
        if (it->is_directory(kind)) {
            entries.push_back({name, true, false});
        } else if (isSoundFile(name) && it->is_regular_file(kind)) {
            entries.push_back({name, false, isBankFile(name)});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.folder != b.folder ? a.folder : WavetableImport::naturalLess(a.name, b.name);
    });
    return true;
}

std::vector<std::size_t> SoundFolder::filter(const std::vector<Entry>& entries,
                                             const std::string& text) {
    const std::string wanted = lower(text);
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (wanted.empty() || lower(entries[i].name).find(wanted) != std::string::npos) {
            shown.push_back(i);
        }
    }
    return shown;
}
