#pragma once
#include <string>

// An output file that appears whole or not at all. The content is written to a temporary file
// beside the destination (same folder, so the final rename cannot cross file systems) and renamed
// over the destination only by commit(); an output that is destroyed uncommitted removes its
// temporary, and so does SIGINT or SIGTERM arriving while it is open, after which the signal
// ends the process as it would have. The destination is never opened for writing, so a failed or
// interrupted run, a full disk or converting a file onto itself leaves it as it was.
//
// Every command that writes a file goes through this:
//     TatomicOutput out(path);
//     if (!out.open(error) || !writeTo(out.tempPath()) || !out.commit(error)) ... report error
class TatomicOutput {
public:
    explicit TatomicOutput(std::string destination);
    ~TatomicOutput();
    TatomicOutput(const TatomicOutput&) = delete;
    TatomicOutput& operator=(const TatomicOutput&) = delete;

    // Creates the empty temporary (exclusively, so two runs never share one). False with a
    // message when the destination's folder does not take new files.
    bool open(std::string& error);
    const std::string& tempPath() const { return fTemp; }
    const std::string& destination() const { return fDestination; }
    // Flushes the temporary to disk and renames it over the destination. False with a message,
    // the temporary removed and the destination untouched, when either fails.
    bool commit(std::string& error);

private:
    void discard();

    std::string fDestination, fTemp;
    int fSlot = -1;  // index in the signal handler's table while the temporary exists
};
