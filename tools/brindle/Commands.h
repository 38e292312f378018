#pragma once
#include <memory>
#include <string>
#include <vector>

class TatomicOutput;
class TpolyGeom;
struct TobjImportReport;
// The brindle tool's commands. Each answers the process exit code: 0 on success, 1 when the input
// was bad or the work failed (the reason printed on stderr), 2 for a usage error.

int runDemo(int argc, char** argv);
int runPrimitive(int argc, char** argv);
int runInfo(int argc, char** argv);
int runCheck(int argc, char** argv);
int runDump(int argc, char** argv);
int runConvert(int argc, char** argv);
int runRender(int argc, char** argv);

// Whether argv[1..] asks for the command's help (--help or -h).
bool wantsHelp(int argc, char** argv);

// Imports path, with a progress bar when stderr is a terminal; null, the reason printed, when
// the import fails. The warnings come first, also when the import then fails, since they often
// say why (every face skipped gives "no faces").
std::unique_ptr<TpolyGeom> loadObjFile(const char* command, const char* path, TobjImportReport& report);
// Opens out, printing "brindle <command>: why" when its folder takes no new file.
bool openOutput(const char* command, TatomicOutput& out);
// Writes geom as OBJ into the opened out and commits it, printing the writer's warnings and any
// error; false on failure, with the destination as it was.
bool writeObjFile(const char* command, TpolyGeom& geom, TatomicOutput& out, const std::vector<std::string>& groupNames);
