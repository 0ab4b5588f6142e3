// tappy-content speak: a spoken word, made by espeak-ng, for every picture that has no sound.
#include "tool/commands.h"
#include "tool/library.h"
#include "tool/names.h"
#include "tool/tool_files.h"
#include "tool/verdict.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
constexpr int kSpawnMissing = -1;
// espeak-ng failed for the voice or itself: the next picture would fare no better.
constexpr int kSpeechFailed = -2;

// espeak-ng's exit status, or kSpawnMissing when it is not installed. Run without a shell, so
// a word from the map is only ever a word.
int Espeak(const std::string& voice, const std::string& word, const std::string& wav)
{
    std::vector<std::string> argv = {"espeak-ng", "-v", voice, "-w", wav, "--", word};
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "espeak-ng", nullptr, nullptr, pointers.data(), environ) != 0)
        return kSpawnMissing;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// Says the word into a temporary and renames it into place; a sound there is never replaced.
int SpeakOne(const ToolLibrary& library, const CTopic& topic, const std::string& voice)
{
    const std::string name = topic.GetName().str();
    const std::string sound = DefaultSoundFor(name);
    const std::string target = library.dir + "sounds/" + sound;
    if (Exists(target)) {
        std::printf("  %s: sounds/%s is there but Tappy cannot play it; left as it is\n",
                    name.c_str(), sound.c_str());
        return kExitRefused;
    }
    const std::string word =
        topic.GetWords().GetCount() > 0 ? topic.GetWords().GetAt(0).str() : ReadableWord(name);
    std::string temp;
    const int fd = MakeTemporary(library.dir, &temp);
    if (fd < 0) {
        std::fprintf(stderr, "tappy-content: cannot write in %s\n", library.dir.c_str());
        return kExitRefused;
    }
    close(fd);
    const auto start = std::chrono::steady_clock::now();
    const int said = Espeak(voice, word, temp);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::string error;
    if (said != 0) {
        unlink(temp.c_str());
        if (said == kSpawnMissing)
            return kSpawnMissing;
        std::fprintf(stderr,
                     "tappy-content: espeak-ng could not say \"%s\" with the voice %s; choose "
                     "another with --voice (espeak-ng --voices lists them)\n",
                     word.c_str(), voice.c_str());
        return kSpeechFailed;
    }
    if (!PlaceNoReplace(temp, target, &error)) {
        std::fprintf(stderr, "tappy-content: %s\n", error.c_str());
        return kExitRefused;
    }
    std::printf("  %s: said \"%s\" into sounds/%s (%.2f s)\n", name.c_str(), word.c_str(),
                sound.c_str(), took.count());
    return kExitDone;
}
} // namespace

int RunSpeak(const Args& args)
{
    std::string voice = VoiceFromLocale(std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                        std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--voice" && i + 1 < args.size() && !args[i + 1].empty()) {
            voice = args[++i];
        } else {
            std::fprintf(stderr, "tappy-content speak: use speak [--voice LANG]\n");
            return kExitUsage;
        }
    }
    const ToolLibrary library;
    std::string error;
    if (!MakeFolders(library.dir + "sounds", &error)) {
        std::fprintf(stderr, "tappy-content: %s\n", error.c_str());
        return kExitRefused;
    }
    std::printf("Speaking with the voice %s in %s\n", voice.c_str(), library.dir.c_str());
    int status = kExitDone;
    int made = 0;
    for (int i = 0; i < library.topics.GetCount(); ++i) {
        const CTopic& topic = *library.topics.GetAt(i);
        // A picture Tappy refuses would only leave a sound behind that nothing plays.
        if (topic.GetSounds().GetCount() > 0 ||
            JudgePicture(library.dir + "images/" + topic.GetName().str()).use != Use::Shown)
            continue;
        const int result = SpeakOne(library, topic, voice);
        if (result == kSpawnMissing) {
            std::fprintf(stderr, "tappy-content: speak needs espeak-ng, which is not installed; "
                                 "install it with: sudo apt install espeak-ng\n");
            return kExitRefused;
        }
        if (result == kSpeechFailed)
            return kExitRefused;
        made += result == kExitDone;
        if (result != kExitDone)
            status = kExitRefused;
    }
    std::printf("%d new sounds\n", made);
    return status;
}
