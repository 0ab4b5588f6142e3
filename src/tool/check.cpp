// tappy-content check: every file in the content folder, with what Tappy makes of it and why.
#include "tool/commands.h"
#include "tool/library.h"
#include "tool/names.h"
#include "tool/tool_files.h"
#include "tool/verdict.h"

#include <cstdio>

namespace {
void Line(const char* use, const std::string& name, const std::string& reason)
{
    std::printf("  %-7s %s: %s\n", use, name.c_str(), reason.c_str());
}

std::string Joined(const CTextList& list, const char* quote)
{
    std::string text;
    for (int i = 0; i < list.GetCount(); ++i)
        text += (i ? ", " : "") + std::string(quote) + list.GetAt(i).str() + quote;
    return text;
}

std::string WhatItHas(const CTopic* topic, const std::string& name)
{
    if (!topic) // decodes now, but the loading did not take it (it changed meanwhile)
        return "run the check again";
    std::string text;
    if (topic->GetSounds().GetCount() > 0)
        text += (topic->GetSounds().GetCount() > 1 ? "sounds " : "sound ") +
                Joined(topic->GetSounds(), "");
    else
        text += "no sound: add " + DefaultSoundFor(name) + " or run `tappy-content speak`";
    if (topic->GetWords().GetCount() > 0)
        text += (topic->GetWords().GetCount() > 1 ? ", words " : ", word ") +
                Joined(topic->GetWords(), "\"");
    return text;
}

int CheckImages(const ToolLibrary& library, int* shown)
{
    int refused = 0;
    std::printf("images/\n");
    for (const std::string& name : ListFolder(library.dir + "images")) {
        const std::string path = library.dir + "images/" + name;
        if (IsFolder(path)) {
            Line("ignore", name + "/", "a folder; Tappy does not look inside");
            continue;
        }
        const PictureVerdict verdict = JudgePicture(path);
        if (verdict.use == Use::Shown) {
            ++*shown;
            Line("use", name, verdict.reason + ", " + WhatItHas(library.Find(name), name));
        } else if (verdict.use == Use::Refused) {
            ++refused;
            Line("refuse", name, verdict.reason);
        } else {
            Line("ignore", name, verdict.reason);
        }
    }
    return refused;
}

std::string PicturesWith(const ToolLibrary& library, const std::string& sound)
{
    std::string names;
    for (int i = 0; i < library.topics.GetCount(); ++i) {
        const CTopic* topic = library.topics.GetAt(i);
        for (int s = 0; s < topic->GetSounds().GetCount(); ++s)
            if (topic->GetSounds().GetAt(s).str() == sound)
                names += (names.empty() ? "" : ", ") + topic->GetName().str();
    }
    return names;
}

void CheckSounds(const ToolLibrary& library)
{
    std::printf("sounds/\n");
    for (const std::string& name : ListFolder(library.dir + "sounds")) {
        const std::string pictures = PicturesWith(library, name);
        if (!pictures.empty())
            Line("use", name, "played with " + pictures);
        else if (IsFolder(library.dir + "sounds/" + name))
            Line("ignore", name + "/", "a folder; Tappy does not look inside");
        else
            Line("ignore", name,
                 "no picture pairs with it (cat.png pairs with cat.wav) and Tappy.map does not "
                 "name it");
    }
}
} // namespace

int RunCheck(const Args& args)
{
    if (!args.empty()) {
        std::fprintf(stderr, "tappy-content check: takes no arguments\n");
        return kExitUsage;
    }
    const ToolLibrary library;
    std::printf("Content folder: %s (%s)\n", library.dir.c_str(),
                library.own ? "your own" : "the one beside the program");
    int shown = 0;
    const int refused = CheckImages(library, &shown);
    CheckSounds(library);
    std::printf("Tappy.map: %s\n", Exists(library.dir + "Tappy.map")
                                       ? "read for words and further sounds"
                                       : "none, so the pictures have no words");
    std::printf("%d pictures shown, %d refused\n", shown, refused);
    return refused > 0 ? kExitRefused : kExitDone;
}
