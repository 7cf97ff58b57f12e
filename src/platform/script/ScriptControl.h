// ScriptControl: hosts the VBScript engine for the rest of the system.
//
// Typical use (the production engine):
//     qz::script::ScriptControl sc;            // Language "VBScript", AllowUI false
//     sc.AddObject("oRun", runObject, false);  // host objects, reached by name
//     sc.onError = [&] { ... sc.Error().Line, sc.Error().Text ... };
//     sc.setTimeout(5000);
//     sc.AddCode(program);                     // compiles, then runs module-level code
//     sc.Run("Main");                          // calls a procedure of the program
//
// Every failure (compilation or run time) fills Error() (Source is
// qz::kRuntimeErrorSource or qz::kCompileErrorSource, or a host object's own
// source for its errors), raises onError before the call returns, and then
// reaches the caller as qz::AutomationError with the script's number, source
// and description. Line is 1-based within the text given to the AddCode /
// Eval / ExecuteStatement call whose code failed (for an error inside a
// procedure: the code that defined the procedure); Column is the 1-based
// position of the failing token (compilation) or statement (run time).
//
// A time-out raises onTimeout (not onError), then fails the call with
// kTimeoutErrorNumber; On Error Resume Next in the script does not stop it.
//
// The script has a locale of its own (SetLocale), starting as the user's
// default; it is the thread's locale while the script runs and the caller's
// locale comes back when the call returns.
//
// Strings at this interface are UTF-8.
#pragma once

#include "platform/automation/AutomationError.h"
#include "platform/automation/Dispatch.h"
#include "platform/automation/ErrorTexts.h"
#include "platform/automation/Ref.h"
#include "platform/automation/Variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace qz::ui { class UiHost; }

namespace qz::script {

class Engine;

// Error number of a script stopped by the time-out.
inline constexpr std::int32_t kTimeoutErrorNumber = static_cast<std::int32_t>(0x80004004u);

// The control's Error object: the last error of AddCode, Run, Eval or ExecuteStatement.
struct ScriptError {
    std::int32_t Number = 0;
    std::string Source;
    std::string Description;
    std::string Text;        // the source line where the error occurred (trimmed)
    std::int32_t Line = 0;   // 1-based, 0 when unknown
    std::int32_t Column = 0; // 1-based, 0 when unknown
    void Clear() { *this = ScriptError(); }
};

class ScriptControl {
public:
    ScriptControl();
    ~ScriptControl();
    ScriptControl(const ScriptControl&) = delete;
    ScriptControl& operator=(const ScriptControl&) = delete;

    // Only "VBScript" is accepted (without regard to case); anything else throws.
    std::string Language() const { return "VBScript"; }
    void setLanguage(std::string_view language);

    // Makes an object reachable from the script under a name. With addMembers
    // its members are also reachable as global names.
    // Errors: empty name (5), name already added (457 "This key is already
    // associated with an element of this collection").
    void AddObject(std::string_view name, Ref<Dispatch> object, bool addMembers = false);

    // Compiles the code (several procedures, classes and module-level
    // statements) and runs its module-level statements at once.
    void AddCode(std::string_view code);

    // Calls a Sub or Function of the added code; returns its value (Empty for a Sub).
    // Arguments are passed by reference: a ByRef parameter may write back.
    Variant Run(std::string_view procedureName, std::span<Variant> args = {});

    // Evaluates an expression in the global scope.
    Variant Eval(std::string_view expression);

    // Runs statements in the global scope.
    void ExecuteStatement(std::string_view statement);

    // Drops all code, variables and added objects; settings stay.
    void Reset();

    // Run-time limit of one call into the script, in milliseconds, counted
    // from when its code starts running (compiling it does not count); 0 or
    // -1: none.
    std::int32_t Timeout() const { return timeout_; }
    void setTimeout(std::int32_t ms) { timeout_ = ms; }

    // How far the memory in use may grow during one call into the script, in
    // bytes (0: no ceiling); past it the call fails with error 7 "Out of
    // memory", which On Error Resume Next does not pass over.
    static constexpr std::int64_t kDefaultMemoryLimit = std::int64_t{2} << 30;
    std::int64_t MemoryLimit() const { return memoryLimit_; }
    void setMemoryLimit(std::int64_t bytes) { memoryLimit_ = bytes; }

    // Whether MsgBox and InputBox may show anything (through the UI host).
    bool AllowUI() const { return allowUI_; }
    void setAllowUI(bool allow) { allowUI_ = allow; }
    void setUiHost(ui::UiHost* host) { uiHost_ = host; }
    ui::UiHost* uiHost() const { return uiHost_; }

    ScriptError& Error() { return error_; }
    const ScriptError& Error() const { return error_; }

    // Events: raised on the calling thread before the failing call returns.
    std::function<void()> onError;
    std::function<void()> onTimeout;

private:
    friend class Engine;
    // Starts the time-out of the outermost call (the engine calls it once the
    // code of the call is compiled); a nested call runs on its caller's.
    using ClockStart = std::function<void()>;
    template <class F>
    auto guarded(F&& f, std::u16string_view source) -> decltype(f(std::declval<const ClockStart&>()));

    std::unique_ptr<Engine> engine_;
    std::uint32_t lcid_;      // the script's locale (SetLocale), kept between calls
    int busy_ = 0;            // nesting of calls into the script
    std::int32_t timeout_ = 10000;
    std::int64_t memoryLimit_ = kDefaultMemoryLimit;
    bool allowUI_ = false;
    ui::UiHost* uiHost_ = nullptr;
    ScriptError error_;
};

} // namespace qz::script
