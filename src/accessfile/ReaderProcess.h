#pragma once
// libmdb reads whatever a file's pages say. On a damaged file it can loop
// for ever or read past its buffers, so the conversion runs in a child
// process: a crash or a stall there becomes Error(Damaged) here, and the
// program that asked (the main window, a script) goes on.
#include <functional>

#include "accessfile/AccessFile.h"

namespace accessfile::detail {

// The work reports progress now and then; a child that reports none for
// stallSeconds is stopped.
using Progress = std::function<void()>;
using Work = std::function<void(Report& report, const Progress& progress)>;

// Runs work in a child process and hands back the report it filled (its
// entries and format). Throws the Error the work threw, or Error(Damaged)
// when the child died or stalled.
void runInChildProcess(const Work& work, Report& report, int stallSeconds);

}  // namespace accessfile::detail
