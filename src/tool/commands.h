#pragma once
// The subcommands of tappy-content. Each takes the words after its name and returns the exit
// status: 0 done, 1 something was refused or could not be done, 2 the command line was wrong.
// Messages go to standard output, problems to standard error.
#include <string>
#include <vector>

using Args = std::vector<std::string>;

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

int RunAdd(const Args& args);
int RunCheck(const Args& args);
int RunSpeak(const Args& args);
int RunDesktop(const Args& args);
