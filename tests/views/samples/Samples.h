// Sample forms for pictures of the windows. Each subsystem's samples file
// registers a representative sample of its forms (QZ_REGISTER_SAMPLE: a
// function that makes the form and fills it as a user would see it); the
// screenshot program renders the view of every sample to a PNG file so that
// the windows can be looked at without running the studio, and the view
// tests check that every sample is wired and drawn. The samples are no part
// of the shipped program.
#pragma once

#include "platform/ui/Form.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qz::views {

using SampleFactory = std::function<std::unique_ptr<ui::Form>()>;

// Registers the sample of a form name (a later registration replaces it).
void registerSample(const std::string& formName, SampleFactory factory);
// The names of every form with a sample, sorted.
std::vector<std::string> registeredSamples();

// A new sample form of a form name; fails with an automation error when the
// name has no sample.
std::unique_ptr<ui::Form> makeSample(const std::string& formName);

// Renders the sample of a form name through its registered view, offscreen,
// to the PNG file `path`. Fails with an automation error when the name has no
// sample or no view, or the file cannot be written.
void renderSample(const std::string& formName, const std::string& path);

// Registers a sample for the form name Name: the expression after the name is
// the body of a function that returns the filled form as a
// std::unique_ptr<ui::Form> (or of a class derived from it).
#define QZ_REGISTER_SAMPLE(Name, ...)                                                  \
    namespace {                                                                        \
    [[maybe_unused]] const bool QZ_SAMPLE_CAT(sample_, __LINE__) = [] {               \
        ::qz::views::registerSample(Name, []() -> std::unique_ptr<::qz::ui::Form> {   \
            return (__VA_ARGS__)();                                                    \
        });                                                                            \
        return true;                                                                   \
    }();                                                                               \
    }
#define QZ_SAMPLE_CAT2(a, b) a##b
#define QZ_SAMPLE_CAT(a, b) QZ_SAMPLE_CAT2(a, b)

} // namespace qz::views
