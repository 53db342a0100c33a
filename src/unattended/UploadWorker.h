#pragma once
// An upload worker of a parallel run (see ParallelRun.h): the program started
// again with VOLLUM_UPLOAD_WORKER=1. It reads VOLLUM.INI beside it, logs in
// as the run did, says "R", then stores each file it is given over its one
// connection and answers with its result, until its standard input ends.
namespace vollum {

// True when this process was started as an upload worker.
bool UploadWorkerRequested();
// The worker's whole life; the process's exit code.
int RunUploadWorker(char* argv0);

}  // namespace vollum
