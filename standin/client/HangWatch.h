// A watch on test programs run under a test driver with a time limit: a test
// that still runs after the watch's time tells what it was waiting on (the
// stand-in's state and journal, this process's windows) and ends the program,
// so the driver's report holds more than a timeout.
#pragma once

#include <windows.h>

#include <string>

namespace standin {

void ArmHangWatch(const std::string& testName, DWORD afterMs);
void DisarmHangWatch();

}  // namespace standin
