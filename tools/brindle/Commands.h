#pragma once
// The brindle tool's commands. Each answers the process exit code: 0 on success, 1 when the input
// was bad or the work failed (the reason printed on stderr), 2 for a usage error.

int runDemo(int argc, char** argv);
int runPrimitive(int argc, char** argv);
int runInfo(int argc, char** argv);
int runCheck(int argc, char** argv);
int runDump(int argc, char** argv);
int runConvert(int argc, char** argv);

// Whether argv[1..] asks for the command's help (--help or -h).
bool wantsHelp(int argc, char** argv);
