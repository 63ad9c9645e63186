// The control channel: a named pipe served by a thread of its own; every
// command is carried out on the main (STA) thread and answered on the pipe.
#pragma once

#include <windows.h>

#include <string>

namespace standin {

constexpr wchar_t kPipeName[] = L"\\\\.\\pipe\\outlook-standin";

struct ControlRequest {
    enum class After { Nothing, Exit, Kill };
    std::string command;  // UTF-8, one line
    std::string reply;    // UTF-8, first line "ok ..." or "error ..."
    After after = After::Nothing;
};

// Carries out one command (main thread only).
void HandleCommand(ControlRequest& request);

// Creates the pipe's first instance (false when another stand-in owns the
// name) and starts the thread that serves it.
bool StartControlPipe();

}  // namespace standin
