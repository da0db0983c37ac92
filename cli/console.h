// What kelvane-cli does differently on each system to meet its user: the arguments, the standard
// streams, a request to stop, and whether a terminal is there to show progress on.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::cli {

// The arguments after the program's name, in UTF-8. On Windows they are taken from the UTF-16
// command line, so that any character a user can type arrives whole; argc and argv are not used.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Makes the standard streams carry bytes as they are: on Windows, binary mode (no line feed ever
// becomes CR LF); on POSIX systems, a reader that goes away is reported as a failed write rather
// than ending the program by SIGPIPE.
void PrepareStandardStreams();

// Writes text to stream (stdout or stderr) and flushes it; false, with errno set, when that fails.
// On a Windows console the UTF-8 is shown as the characters it stands for.
bool WriteText(std::FILE* stream, std::string_view text);

// From here on, the user's request to stop (SIGINT or SIGTERM; on Windows Ctrl+C, Ctrl+Break or
// closing the console) sets StopRequested() instead of ending the program.
void CatchStopRequests();
const std::atomic<bool>& StopRequested();
// The exit status of a stopped run, as a shell reports a program that a signal ended: 130 for an
// interrupt (any console event on Windows), 143 for SIGTERM.
int StoppedStatus();
// The end of --help's lines on exit statuses: which statuses a stopped run gives here, and why.
std::string_view StoppedStatusHelp();

// Whether, after the stop, the terminal's current line holds something a message must not run
// into: the "^C" a POSIX terminal echoes for Ctrl+C; on Windows, which echoes nothing, copies
// written to the console that did not end their line.
bool InterruptLeftALine();

// Where --save keeps the job, for help and messages: the settings file on POSIX systems (empty when
// there is no home folder), the registry key on Windows.
std::string SavedJobPlace();

struct Terminals {
  bool standardError = false;  // standard error is a terminal
  bool progress = false;       // a progress line can be drawn there: standard output goes elsewhere,
                               // and the terminal can clear a line
};
Terminals FindTerminals();

}  // namespace kelvane::cli
