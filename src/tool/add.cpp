// tappy-content add: pictures and sounds into the parent's own folder, under names that pair.
#include "content/content_dir.h"
#include "platform/codec/codec.h"
#include "platform/files.h"
#include "tool/commands.h"
#include "tool/names.h"
#include "tool/tool_files.h"
#include "tool/verdict.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
std::string BaseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsWave(const std::string& path)
{
    const auto file = codec::FileSource::Open(path);
    unsigned char head[12];
    return file && file->Size() >= sizeof head && file->Read(0, head, sizeof head) &&
           std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0;
}

// The bundled content first, for a parent who wants the animals too; what is there stays.
int AddBundled(const std::string& userDir)
{
    const std::string bundled = GetProgramDirectory().str();
    if (bundled == userDir || !IsFolder(bundled + "images")) {
        std::fprintf(stderr, "tappy-content: no bundled content beside the program in %s\n",
                     bundled.c_str());
        return kExitRefused;
    }
    int status = kExitDone;
    int copied = 0;
    for (const char* folder : {"images/", "sounds/"}) {
        for (const std::string& name : ListFolder(bundled + folder)) {
            const std::string target = userDir + folder + name;
            if (IsFolder(bundled + folder + name) || Exists(target))
                continue;
            std::string error;
            if (CopyNoReplace(bundled + folder + name, target, userDir, &error)) {
                ++copied;
            } else {
                std::fprintf(stderr, "tappy-content: %s\n", error.c_str());
                status = kExitRefused;
            }
        }
    }
    std::string error;
    if (!Exists(userDir + "Tappy.map") &&
        !CopyNoReplace(bundled + "Tappy.map", userDir + "Tappy.map", userDir, &error)) {
        std::fprintf(stderr, "tappy-content: %s\n", error.c_str());
        status = kExitRefused;
    }
    std::printf("Copied %d bundled files into %s\n", copied, userDir.c_str());
    return status;
}

// One file: a picture into images/, a sound into sounds/, renamed where the name would not
// pair. A picture Tappy would refuse is still copied, with the reason, so nothing is lost.
int AddOne(const std::string& path, const std::string& userDir)
{
    const std::string name = BaseName(path);
    const auto file = codec::FileSource::Open(path);
    if (!file || name.empty()) {
        std::fprintf(stderr, "tappy-content: %s: not a file that can be read\n", path.c_str());
        return kExitRefused;
    }
    const std::string format = codec::ReadFileHeader(*file).format;
    std::string folder = "images/";
    std::string target;
    if (!format.empty()) {
        target = PairingPictureName(name, format);
    } else if (IsWave(path) || HasSoundExtension(name)) {
        folder = "sounds/";
        target = PairingSoundName(name);
    } else {
        std::fprintf(stderr, "tappy-content: %s: neither a picture Tappy shows nor a sound\n",
                     path.c_str());
        return kExitRefused;
    }
    std::string error;
    if (!CopyNoReplace(path, userDir + folder + target, userDir, &error)) {
        std::fprintf(stderr, "tappy-content: %s\n", error.c_str());
        return kExitRefused;
    }
    const std::string stem = target.substr(0, target.size() - 4);
    if (target == name)
        std::printf("Added %s%s\n", folder.c_str(), target.c_str());
    else if (folder == "images/")
        std::printf("Added %s as images/%s, so that it pairs with sounds/%s\n", path.c_str(),
                    target.c_str(), DefaultSoundFor(target).c_str());
    else
        std::printf("Added %s as sounds/%s, so that it pairs with %s.png, %s.jpg and the like\n",
                    path.c_str(), target.c_str(), stem.c_str(), stem.c_str());
    if (folder == "images/") {
        const PictureVerdict verdict = JudgePicture(userDir + folder + target);
        if (verdict.use != Use::Shown)
            std::printf("  but Tappy will not show it: %s\n", verdict.reason.c_str());
    }
    return kExitDone;
}
} // namespace

int RunAdd(const Args& args)
{
    bool withBundled = false;
    Args files;
    for (const std::string& arg : args) {
        if (arg == "--with-bundled")
            withBundled = true;
        else if (arg.size() > 1 && arg[0] == '-')
            return std::fprintf(stderr, "tappy-content add: unknown option %s\n", arg.c_str()),
                   kExitUsage;
        else
            files.push_back(arg);
    }
    if (files.empty() && !withBundled) {
        std::fprintf(stderr, "tappy-content add: name the pictures and sounds to add\n");
        return kExitUsage;
    }
    const std::string userDir =
        UserContentDir(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")).str();
    std::string error;
    if (userDir.empty()) {
        std::fprintf(stderr, "tappy-content: HOME is not set, so there is no folder of yours\n");
        return kExitRefused;
    }
    if (!MakeFolders(userDir + "images", &error) || !MakeFolders(userDir + "sounds", &error)) {
        std::fprintf(stderr, "tappy-content: %s\n", error.c_str());
        return kExitRefused;
    }
    int status = withBundled ? AddBundled(userDir) : kExitDone;
    for (const std::string& path : files)
        if (AddOne(path, userDir) != kExitDone)
            status = kExitRefused;
    std::printf("Tappy takes its pictures from %simages/\n", userDir.c_str());
    return status;
}
