#include "designer/ModQueryParameters.h"
#include "designer/forms/frmParameters.h"
#include "core/ModErrors.h"
#include "platform/automation/AutomationError.h"
#include "platform/ui/UiHost.h"
#include "system/TestEnv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

namespace qz::designer {
namespace {

// Answers prompts in order and records their captions.
struct Answers {
    explicit Answers(std::vector<std::string> v = {}) : values(std::move(v)) {}
    std::vector<std::string> values;
    std::vector<std::string> captions;
    ParameterPrompt prompt() {
        return [this](const std::string& caption) -> std::optional<std::string> {
            captions.push_back(caption);
            if (captions.size() > values.size()) return std::nullopt;
            return values[captions.size() - 1];
        };
    }
};

// The text to run, then each bound value with its kind.
std::string bound(const ado::BoundSql& b) {
    static const char* const kKinds[] = {"Null", "Boolean", "Integer", "Decimal", "Double", "Text", "Date", "DateTime",
                                         "Time"};
    std::string out = b.text;
    for (const ado::SqlParameter& p : b.parameters) {
        out += std::string(" [") + kKinds[static_cast<int>(p.kind)];
        if (p.kind == ado::SqlParameter::Kind::Integer || p.kind == ado::SqlParameter::Kind::Boolean)
            out += ":" + std::to_string(p.integer);
        else if (p.kind == ado::SqlParameter::Kind::Double)
            out += ":" + std::to_string(p.number);
        else if (p.kind != ado::SqlParameter::Kind::Null)
            out += ":" + p.text;
        out += "]";
    }
    return out;
}

std::string resolved(const std::string& sql, const ParameterPrompt& prompt) {
    return bound(ResolveSqlParameters(sql, prompt));
}

TEST(QueryParameters, AsksForEachConditionsParameter) {
    Answers a({"'Rome'"});
    EXPECT_EQ(resolved("SELECT * FROM T WHERE City = ?", a.prompt()), "SELECT * FROM T WHERE City = ? [Text:Rome]");
    EXPECT_EQ(a.captions, (std::vector<std::string>{"City = ?"}));

    // Connectors come back as " AND " and " OR " however they were written.
    Answers b({"1", "2"});
    EXPECT_EQ(resolved("SELECT * FROM T WHERE a = ? and b >= ? Or c = 1 ORDER BY c", b.prompt()),
              "SELECT * FROM T WHERE a = ? AND b >= ? OR c = 1 ORDER BY c [Integer:1] [Integer:2]");
    EXPECT_EQ(b.captions, (std::vector<std::string>{"a = ?", "b >= ?"}));

    Answers c({"2", "1"});
    EXPECT_EQ(resolved("SELECT * FROM T WHERE x IN (?, ?)", c.prompt()), "SELECT * FROM T WHERE x IN (?, ?) [Integer:1] [Integer:2]");
    EXPECT_EQ(c.captions, (std::vector<std::string>{"x IN (?, ?", "x IN (?"}));

    Answers none;
    EXPECT_EQ(resolved("SELECT * FROM T", none.prompt()), "SELECT * FROM T");
    EXPECT_EQ(resolved("", none.prompt()), "");
    EXPECT_TRUE(none.captions.empty());

    // A prompt cancelled stops the whole text, and says so.
    Answers closed;
    try {
        ResolveSqlParameters("SELECT * FROM T WHERE a = ? AND b = 5", closed.prompt());
        ADD_FAILURE() << "a cancelled prompt resolved the text";
    } catch (const AutomationError& e) {
        EXPECT_STREQ(e.Description.c_str(), kParameterCancelled);
    }
    // A prompt that fails leaves nothing to run.
    const ParameterPrompt failing = [](const std::string&) -> std::optional<std::string> {
        throw std::runtime_error("no answer");
    };
    EXPECT_EQ(resolved("SELECT * FROM T WHERE a = ? AND b = ?", failing), "");
    // Only a "?" right of the condition's last "=" is a parameter; one that
    // is not asked for reads as unbound, Null. An empty answer removes its "?".
    Answers left({"9", "", "'b'"});
    EXPECT_EQ(resolved("SELECT * FROM T WHERE f(?) = ? AND g(?, ?) -- and ?\n", left.prompt()),
              "SELECT * FROM T WHERE f(?) = ? AND g(?, ) -- and ?\n [Null] [Integer:9] [Text:b]");
}

// A cancelled prompt and a refused answer are logged under the step that
// asks for the condition's parameters, and raised again.
TEST(QueryParameters, FailedAnswersAreLoggedUnderReplaceParameterFields) {
    const test::TestHome home; // a log of this test's own
    Answers closed;
    EXPECT_THROW(ResolveSqlParameters("SELECT * FROM T WHERE a = ?", closed.prompt()), AutomationError);
    Answers refused({"1; DROP TABLE T"});
    EXPECT_EQ(resolved("SELECT * FROM T WHERE a = ?", refused.prompt()), "");
    std::ifstream in(ErrorLogFileName(), std::ios::binary);
    std::vector<std::string> logged;
    for (std::string line; std::getline(in, line);) {
        EXPECT_EQ(line.find("ResolveSqlParameters"), std::string::npos) << line;
        const std::string head = "\tModQueryParameters\tReplaceParameterFields\tReplaceParameterFields\t";
        if (const auto at = line.find(head); at != std::string::npos) logged.push_back(line.substr(at + head.size()));
    }
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_NE(logged[0].find(kParameterCancelled), std::string::npos) << logged[0];
    EXPECT_NE(logged[1].find(ParameterAnswerProblem("1; DROP TABLE T")), std::string::npos) << logged[1];
}

TEST(QueryParameters, QuotedTextIsNeitherSplitNorAsked) {
    Answers a({"3"});
    EXPECT_EQ(resolved("SELECT * FROM T WHERE Name = 'Tom and Jerry?' and [Who?] > ?", a.prompt()),
              "SELECT * FROM T WHERE Name = 'Tom and Jerry?' AND [Who?] > ? [Integer:3]");
    EXPECT_EQ(a.captions, (std::vector<std::string>{"[Who?] > ?"}));
    Answers b({"'x'"});
    EXPECT_EQ(resolved("SELECT * FROM T WHERE Note LIKE 'it''s ?' OR Note = ?", b.prompt()),
              "SELECT * FROM T WHERE Note LIKE 'it''s ?' OR Note = ? [Text:x]");
}

TEST(QueryParameters, TheClauseEndsAtItsOwnKeyword) {
    // A GROUP BY of a subquery before WHERE does not end the clause.
    Answers a({"7"});
    EXPECT_EQ(resolved("SELECT * FROM (SELECT k FROM U GROUP BY k) s WHERE s.k = ? ORDER BY 1", a.prompt()),
              "SELECT * FROM (SELECT k FROM U GROUP BY k) s WHERE s.k = ? ORDER BY 1 [Integer:7]");
    EXPECT_EQ(FindEndWhereClause("SELECT a FROM T WHERE b = 1 GROUP BY a HAVING count(*) > 1"), 28u);
    EXPECT_EQ(FindEndWhereClause("SELECT a FROM T WHERE b = 1"), 27u);
}

TEST(QueryParameters, PromptsThroughTheParameterDialog) {
    ui::HeadlessUiHost host;
    ui::setCurrentHost(&host);
    host.queueFormAction([](ui::Form& f) {
        auto& p = dynamic_cast<frmParameters&>(f);
        EXPECT_EQ(p.Caption, "City = ?");
        EXPECT_EQ(p.lblValue.Caption, "Value:");
        EXPECT_EQ(p.txtParameter.Text, "");
        p.txtParameter.Text = "'Oslo'";
        p.cmdOk_Click();
    });
    EXPECT_EQ(bound(ResolveSqlParameters("SELECT Name FROM C WHERE City = ?")), "SELECT Name FROM C WHERE City = ? [Text:Oslo]");
    EXPECT_EQ(host.requests(ui::UiRequest::Modal).size(), 1u);
    // Cancel, or a prompt closed without OK, cancels.
    host.queueFormAction([](ui::Form& f) { dynamic_cast<frmParameters&>(f).cmdCancel_Click(); });
    EXPECT_THROW(ResolveSqlParameters("SELECT Name FROM C WHERE City = ?"), AutomationError);
    host.queueFormAction([](ui::Form& f) { f.Hide(); });
    EXPECT_THROW(ResolveSqlParameters("SELECT Name FROM C WHERE City = ?"), AutomationError);
    ui::setCurrentHost(nullptr);
}

// An answer is data: one literal, or nothing runs.
TEST(QueryParameters, AnAnswerIsOneLiteral) {
    for (const char* ok : {"12", "-3.5", "1e3", " 7 ", "'O''Brien'", "''", "'a;b -- c'", "#2024-01-31#",
                           "#1/31/2024 10:00 PM#", "null", "TRUE", "False", ""})
        EXPECT_EQ(ParameterAnswerProblem(ok), "") << ok;
    for (const char* bad : {"'x'; DELETE FROM t", "1 OR 1=1", "'a' OR 'b'='b'", "'\\'' OR 1=1 OR ''='", "x",
                            "3,5", "'unclosed", "'it's'", "#1#or#2#", "1; DROP TABLE t", "Null OR 1=1", "1e", ".",
                            "#2024-02-30#", "#::#", "#13/13/2024#"}) {
        EXPECT_NE(ParameterAnswerProblem(bad).find("is not one value"), std::string::npos) << bad;
        Answers a({bad});
        EXPECT_EQ(resolved("SELECT * FROM T WHERE a = ?", a.prompt()), "") << bad;
    }
    EXPECT_NE(ParameterAnswerProblem("x").find("#2024-01-31#"), std::string::npos);
    // Each answer is bound with its type: a date as its ISO text (day zero
    // with a time is a day and a time), a text without its quotes, a number
    // whole, as an integer while it fits.
    Answers values({"#1/31/2024 10:05 PM#", "#18:30#", " #2024-01-31# ", "#1899-12-30 10:00#", "'O''Brien'", "True",
                    "-1", "+12.50", "-.5", "123456789012345678901234567890", "1.5e3", "Null"});
    EXPECT_EQ(resolved("SELECT * FROM T WHERE a = ? AND b = ? AND c = ? AND d = ? AND e = ? AND f = ? AND q = 5-? "
                       "AND g = ? AND h = ? AND i = ? AND j = ? AND k = ?",
                       values.prompt()),
              "SELECT * FROM T WHERE a = ? AND b = ? AND c = ? AND d = ? AND e = ? AND f = ? AND q = 5-? AND g = ? "
              "AND h = ? AND i = ? AND j = ? AND k = ? [DateTime:2024-01-31 22:05:00] [Time:18:30:00] [Date:2024-01-31] "
              "[DateTime:1899-12-30 10:00:00] [Text:O'Brien] [Boolean:1] [Integer:-1] [Decimal:12.50] [Decimal:-0.5] "
              "[Decimal:123456789012345678901234567890] [Double:1500.000000] [Null]");
    // A number is taken whole or refused: at most 38 digits, within a
    // double's range; the message does not repeat a long answer.
    const std::string pasted(1'000'000, '7');
    const std::string problem = ParameterAnswerProblem(pasted);
    EXPECT_NE(problem.find("has 1000000 digits"), std::string::npos);
    EXPECT_LT(problem.size(), 200u);
    EXPECT_NE(ParameterAnswerProblem("1e999").find("beyond the range"), std::string::npos);
    EXPECT_EQ(ParameterAnswerProblem(std::string(38, '9')), "");
    Answers long_({pasted});
    EXPECT_EQ(resolved("SELECT * FROM T WHERE a = ?", long_.prompt()), "");

    // The dialog explains a refused answer and asks again.
    ui::HeadlessUiHost host;
    ui::setCurrentHost(&host);
    for (const char* typed : {"'x'; DELETE FROM C", "'Oslo'"})
        host.queueFormAction([typed](ui::Form& f) {
            auto& p = dynamic_cast<frmParameters&>(f);
            p.txtParameter.Text = typed;
            p.cmdOk_Click();
        });
    EXPECT_EQ(bound(ResolveSqlParameters("SELECT Name FROM C WHERE City = ?")), "SELECT Name FROM C WHERE City = ? [Text:Oslo]");
    ASSERT_EQ(host.requests(ui::UiRequest::MsgBox).size(), 1u);
    EXPECT_NE(host.requests(ui::UiRequest::MsgBox)[0].prompt.find("is not one value"), std::string::npos);
    ui::setCurrentHost(nullptr);
}

} // namespace
} // namespace qz::designer
