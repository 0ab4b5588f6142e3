// tappy-content: the parents' tool for Tappy's content. The toy itself takes no options, so
// everything an adult sets up happens here, one subcommand each.
#include "tool/commands.h"

#include <cstdio>
#include <cstring>

namespace {
struct Command {
    const char* name;
    const char* usage;
    int (*run)(const Args& args);
};

const Command kCommands[] = {
    {"add", "add [--with-bundled] FILE...  copy pictures and sounds into your own folder", RunAdd},
    {"check", "check                        say which files Tappy shows, refuses or ignores",
     RunCheck},
    {"speak", "speak [--voice LANG]         make a spoken word for pictures without a sound",
     RunSpeak},
    {"desktop",
     "desktop [--no-restore-key] [--no-console-keys] [--no-banners] | --undo\n"
     "                               say what is held here, and on GNOME grant Tappy "
     "the shortcuts",
     RunDesktop},
};

int Usage(FILE* out, int status)
{
    std::fprintf(out, "Usage: tappy-content COMMAND [ARGS]\n");
    for (const Command& command : kCommands)
        std::fprintf(out, "  tappy-content %s\n", command.usage);
    return status;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage(stderr, kExitUsage);
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        return Usage(stdout, kExitDone);
    const Args args(argv + 2, argv + argc);
    for (const Command& command : kCommands)
        if (std::strcmp(argv[1], command.name) == 0)
            return command.run(args);
    std::fprintf(stderr, "tappy-content: no command %s\n", argv[1]);
    return Usage(stderr, kExitUsage);
}
