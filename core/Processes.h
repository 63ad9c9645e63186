// Finding a running program's process, to wait for its end.
#pragma once

#include "core/win32.h"

#include <string>

// The process of the given program in the caller's session, opened to wait on
// (SYNCHRONIZE) and to read its identity; none when no such process runs or
// when more than one could be meant. imagePath is the program's full path, or
// its file name alone when the folder is not known; names compare without
// regard to case, as Windows does.
wl::UniqueHandle FindProgramProcess(const std::wstring& imagePath);

// The full path of a program named without a folder, looked up on the
// search path only (the system folder, then PATH; never the program's own
// folder or the current one); empty when not found.
std::wstring FindOnPath(const std::wstring& name);

// Starts the program (a full path, named exactly: the system guesses
// nothing) with the arguments, its window shown as asked; not waited for.
bool StartProgram(const std::wstring& program, const std::wstring& arguments, WORD show);
