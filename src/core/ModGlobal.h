// The per-thread state shared by the subsystems: the application object, the
// designer reference and the flags, set up by Main on the thread's first use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qz {

class Designer;

// The application object: one per thread.
class QZApplication {
public:
    QZApplication();   // runs Initialize; raises what it raises
    std::int32_t Locale = 1056;   // locale of the message lookup
    std::string LogPathName;      // the application-data folder, with a trailing separator

private:
    void Initialize();
};

std::shared_ptr<QZApplication> GetApplicationObject();
void SetApplicationObject(std::shared_ptr<QZApplication> app);

// The thread's start-up: runs once per thread, before the first object of
// the system does its work. Public constructors call it.
void Main();

// Globals of the thread (each thread has its own).
extern thread_local Designer* goDesigner;
extern thread_local std::intptr_t glHelpWindowHandle;
extern thread_local bool gbScriptErrorOccurred;

} // namespace qz
