// standin_process.h - a simstandin.exe server for one test: started with the given
// options, waited for until its window exists, and closed (or killed) at the end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "child_process.h"
#include "standin_record.h"

struct ServerCounts {
    uint64_t exchanges, reads, writes, malformed, refused;
};

class StandInProcess {
  public:
    // Starts the server. Fails (see Started/Error) if another server window of either
    // class is still there after a few seconds: a client could reach it instead.
    explicit StandInProcess(std::vector<std::string> args);
    ~StandInProcess() = default;

    bool Started() const { return started_; }
    const std::string& Error() const { return error_; }
    // This server's window of the class, or null.
    HWND Window(const char* className) const;
    // Asks the server to end as a user would (WM_CLOSE), waits, and reads its final
    // status line. False if it did not end in time (it is then killed) or printed no
    // status.
    bool Close(ServerCounts* counts = nullptr);
    void Kill() { child_.Kill(); }
    ChildProcess& child() { return child_; }

  private:
    ChildProcess child_;
    bool started_ = false;
    std::string error_;
};

// What a server started with --record FILE has written to FILE so far (complete
// lines only); false with *error set if the file cannot be read or holds a line of
// neither form.
bool ReadServerRecord(const std::string& path, std::vector<RecordEntry>* entries,
                      std::string* error);

// Reads the last "simstandin: exchanges=..." line of `output`.
bool ParseServerCounts(const std::string& output, ServerCounts* counts);

// True when no window of class UIPCMAIN or FS98MAIN exists, waiting up to timeoutMs.
bool NoServerWindow(DWORD timeoutMs);
