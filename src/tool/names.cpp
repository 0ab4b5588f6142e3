#include "tool/names.h"

#include <cctype>
#include <string_view>

namespace {
std::string Lower(std::string_view s)
{
    std::string out;
    for (const char c : s)
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A leading dot names a hidden file, not an extension.
std::size_t ExtensionDot(const std::string& name)
{
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string::npos : dot;
}

std::string ThreeByteExtension(const std::string& extension, const std::string& format)
{
    static const struct {
        const char* from;
        const char* to;
    } kShort[] = {{"jpeg", "jpg"}, {"tiff", "tif"}, {"webp", "wbp"}, {"heic", "hic"},
                  {"heif", "hif"}, {"avif", "avf"}, {"JPEG", "jpg"}, {"WebP", "wbp"},
                  {"TIFF", "tif"}, {"HEIF", "hif"}};
    for (const std::string& key : {Lower(extension), format})
        for (const auto& entry : kShort)
            if (key == entry.from)
                return entry.to;
    if (extension.size() > 3)
        return extension.substr(0, 3);
    const std::string fromFormat = Lower(format);
    return fromFormat.size() == 3 ? fromFormat : "pic";
}
} // namespace

std::string DefaultSoundFor(const std::string& picture)
{
    return (picture.size() > 3 ? picture.substr(0, picture.size() - 3) : std::string()) + "wav";
}

std::string PairingPictureName(const std::string& name, const std::string& format)
{
    const auto dot = ExtensionDot(name);
    if (dot != std::string::npos && name.size() - dot == 4)
        return name;
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    return stem + "." + ThreeByteExtension(extension, format);
}

std::string PairingSoundName(const std::string& name)
{
    const auto dot = ExtensionDot(name);
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ".wav";
}

bool HasSoundExtension(const std::string& name)
{
    const auto dot = ExtensionDot(name);
    if (dot == std::string::npos)
        return false;
    const std::string extension = Lower(std::string_view(name).substr(dot + 1));
    return extension == "wav" || extension == "wave" || extension == "ogg" || extension == "mp3" ||
           extension == "flac";
}

std::string ReadableWord(const std::string& pictureName)
{
    const auto dot = ExtensionDot(pictureName);
    std::string word;
    for (const char c : std::string_view(pictureName).substr(0, dot)) {
        const bool blank = c == '_' || c == '-' || c == '.' || c == ' ';
        if (!blank)
            word += c;
        else if (!word.empty() && word.back() != ' ')
            word += ' ';
    }
    if (!word.empty() && word.back() == ' ')
        word.pop_back();
    return word;
}

std::string VoiceFromLocale(const char* language, const char* lcAll, const char* lcMessages,
                            const char* lang)
{
    for (const char* value : {language, lcAll, lcMessages, lang}) {
        if (!value || !*value)
            continue;
        const std::string_view text(value);
        const std::string code = Lower(text.substr(0, text.find_first_of("_.@:")));
        if (code.empty() || code == "c" || code == "posix")
            return "en";
        return code;
    }
    return "en";
}
