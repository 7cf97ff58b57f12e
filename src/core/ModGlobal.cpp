#include "core/ModGlobal.h"

#include "core/ModErrors.h"
#include "core/WinDirs.h"

namespace qz {

thread_local Designer* goDesigner = nullptr;
thread_local std::intptr_t glHelpWindowHandle = 0;
thread_local bool gbScriptErrorOccurred = false;

namespace {
thread_local std::shared_ptr<QZApplication> tApp;
thread_local bool tMainDone = false;
} // namespace

QZApplication::QZApplication() {
    try {
        Initialize();
    } catch (...) {
        HandleError("QZApplication", "Class_Initialize", kErrLog | kErrRaise);
    }
}

void QZApplication::Initialize() {
    try {
        Locale = 1056;
        LogPathName = AddBackSlashInPath(WinDirs::GetApplicationDataPath());
    } catch (...) {
        HandleError("QZApplication", "Initialize", kErrLog | kErrRaise);
    }
}

std::shared_ptr<QZApplication> GetApplicationObject() { return tApp; }

void SetApplicationObject(std::shared_ptr<QZApplication> app) { tApp = std::move(app); }

void Main() {
    if (tMainDone) return;
    try {
        tMainDone = true;
        SetApplicationObject(std::make_shared<QZApplication>());
    } catch (...) {
        tMainDone = false;
        HandleError("ModGlobal", "Main", kErrLog | kErrRaise);
    }
}

} // namespace qz
