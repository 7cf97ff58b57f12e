#include "platform/script/ScriptControl.h"

#include "platform/automation/Text.h"
#include "platform/script/Engine.h"
#include "platform/system/Deadline.h"
#include "platform/system/Locales.h"

namespace qz::script {

namespace {

// The line of a text (1-based), trimmed, for Error.Text.
std::string lineText(std::u16string_view src, std::int32_t line) {
    if (line < 1) return {};
    std::size_t pos = 0;
    for (std::int32_t l = 1; l < line; ++l) {
        std::size_t nl = src.find_first_of(u"\r\n", pos);
        if (nl == std::u16string_view::npos) return {};
        pos = nl + ((src[nl] == u'\r' && nl + 1 < src.size() && src[nl + 1] == u'\n') ? 2 : 1);
    }
    std::size_t end = src.find_first_of(u"\r\n", pos);
    std::u16string_view l = src.substr(pos, end == std::u16string_view::npos ? src.size() - pos : end - pos);
    while (!l.empty() && (l.front() == u' ' || l.front() == u'\t')) l.remove_prefix(1);
    while (!l.empty() && (l.back() == u' ' || l.back() == u'\t')) l.remove_suffix(1);
    return toUtf8(l);
}

// Runs the script under its own locale: SetLocale inside the script lasts
// from call to call, and the caller's locale comes back afterwards.
class LocaleScope {
public:
    explicit LocaleScope(std::uint32_t& scriptLcid) : lcid_(scriptLcid), saved_(currentLocale()) {
        if (currentLocale().lcid != lcid_) {
            if (const LocaleFormat* f = sys::localeFormatFor(lcid_)) setCurrentLocale(*f);
        }
    }
    ~LocaleScope() {
        lcid_ = currentLocale().lcid;
        setCurrentLocale(saved_);
    }

private:
    std::uint32_t& lcid_;
    LocaleFormat saved_;
};

} // namespace

ScriptControl::ScriptControl() : engine_(std::make_unique<Engine>(*this)), lcid_(sys::userDefaultLcid()) {}
ScriptControl::~ScriptControl() = default;

void ScriptControl::setLanguage(std::string_view language) {
    if (!equalsNoCase(fromUtf8(language), u"VBScript"))
        throw AutomationError(kErrorFail, "ScriptControl", "Language not supported: " + std::string(language));
}

template <class F>
auto ScriptControl::guarded(F&& f, std::u16string_view source) -> decltype(f(std::declval<const ClockStart&>())) {
    error_.Clear();
    const bool outermost = busy_ == 0;
    struct Busy {
        int& n;
        explicit Busy(int& b) : n(b) { ++n; }
        ~Busy() { --n; }
    } busy(busy_);
    std::optional<LocaleScope> locale;
    if (busy_ == 1) locale.emplace(lcid_);
    // The time-out bounds the running of the code, so the call starts its
    // clock once the text is compiled: a compile always ends and cannot be
    // cut short, and a slow one is no code that ran too long. Database
    // statements and long built-ins of the call end by the same deadline.
    std::optional<sys::DeadlineScope> deadline;
    bool compiled = false;
    const ClockStart startClock = [&] {
        compiled = true;
        if (!outermost) return;
        engine_->startClock(timeout_);
        if (timeout_ > 0) deadline.emplace(sys::DeadlineClock::now() + std::chrono::milliseconds(timeout_));
    };
    // The memory ceiling: what the call's values hold beyond what this thread
    // held when it began.
    std::optional<memory::CeilingScope> ceiling;
    if (busy_ == 1) ceiling.emplace(memoryLimit_);
    try {
        return f(startClock);
    } catch (CompileError& e) {
        error_.Number = e.number;
        error_.Source = kCompileErrorSource;
        std::string_view t = errorText(e.number);
        error_.Description = t.empty() ? std::string(compileErrorText(e.number)) : std::string(t);
        error_.Line = e.line;
        error_.Column = e.col;
        error_.Text = lineText(source, e.line);
    } catch (ScriptFailure& e) {
        error_.Number = scriptErrorNumber(e.err.Number);
        error_.Source = e.err.Source;
        error_.Description = e.err.Description;
        if (!e.culprit.empty()) error_.Description += ": '" + e.culprit + "'";
        error_.Line = e.line;
        error_.Column = e.col;
        error_.Text = lineText(e.block ? std::u16string_view(e.block->source) : source, e.line);
    } catch (AutomationError& e) {
        error_.Number = scriptErrorNumber(e.Number);
        error_.Source = e.Source;
        error_.Description = e.Description;
    } catch (ScriptAbort& abort) {
        if (abort.outOfMemory) {
            const AutomationError e = runtimeError(err::OutOfMemory);
            error_.Number = e.Number;
            // Stopped before any statement of the code was read: the code as a
            // whole is more than the ceiling allows, which no statement is.
            const bool whole = !compiled && abort.line == 0;
            error_.Source = whole ? std::string(kCompileErrorSource) : e.Source;
            error_.Description = e.Description + (whole ? ": the code is too large to compile within the memory ceiling"
                                                        : ": the script grew past its memory ceiling");
            // The statement it was stopped in, so that its place can be told.
            error_.Line = abort.line;
            error_.Column = abort.col;
            if (abort.line > 0)
                error_.Text = lineText(abort.block ? std::u16string_view(abort.block->source) : source, abort.line);
            if (onError) {
                try { onError(); } catch (...) {}
            }
            throw AutomationError(error_.Number, error_.Source, error_.Description);
        }
        error_.Number = kTimeoutErrorNumber;
        error_.Source = "ScriptControl";
        error_.Description = "The script was stopped: it ran longer than the time-out";
        if (onTimeout) {
            try { onTimeout(); } catch (...) {}
        }
        throw AutomationError(error_.Number, error_.Source, error_.Description);
    } catch (std::bad_alloc&) {
        AutomationError e = runtimeError(err::OutOfMemory);
        error_.Number = e.Number;
        error_.Source = e.Source;
        error_.Description = e.Description;
    } catch (std::exception& e) {
        // A host object's C++ failure outside any statement (Run's arguments).
        error_.Number = kErrorFail;
        error_.Description = e.what();
    }
    if (onError) {
        try { onError(); } catch (...) {}
    }
    throw AutomationError(error_.Number, error_.Source, error_.Description);
}

void ScriptControl::AddObject(std::string_view name, Ref<Dispatch> object, bool addMembers) {
    std::u16string n = fromUtf8(name);
    if (n.empty()) throwRuntimeError(err::InvalidCall);
    if (engine_->hasObject(n)) throwRuntimeError(err::KeyExists);
    engine_->addObject(n, std::move(object), addMembers);
}

void ScriptControl::AddCode(std::string_view code) {
    std::u16string src = fromUtf8(code);
    guarded([&](const ClockStart& start) { engine_->addCode(src, start); }, src);
}

Variant ScriptControl::Run(std::string_view procedureName, std::span<Variant> args) {
    std::u16string name = fromUtf8(procedureName);
    return guarded([&](const ClockStart& start) {
        start();
        return engine_->run(name, args);
    }, u"");
}

Variant ScriptControl::Eval(std::string_view expression) {
    std::u16string src = fromUtf8(expression);
    return guarded([&](const ClockStart& start) { return engine_->evalText(src, start); }, src);
}

// Statements in the global scope are module-level code: compiled and run as AddCode does.
void ScriptControl::ExecuteStatement(std::string_view statement) { AddCode(statement); }

void ScriptControl::Reset() {
    if (busy_) throwRuntimeError(err::PermissionDenied);
    engine_.reset();
    engine_ = std::make_unique<Engine>(*this);
    lcid_ = sys::userDefaultLcid();
    error_.Clear();
}

} // namespace qz::script
