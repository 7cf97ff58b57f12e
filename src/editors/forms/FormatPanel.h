// The options of a field format as a window shows them: a frame per kind of
// options (string, date/time, number), each with an override box. With the
// box clear the frame shows, greyed, the options the format falls back to;
// ticked, options of its own that the user edits. The expression editor holds
// one panel for a field's format, the template's default-format window one
// for the template's defaults. The window names and registers the controls,
// sets the override boxes' captions, and decides what the format falls back
// to (the template's default for a field, the regional settings for a
// template default).
//
// The two uses differ in how a box of a number reads and shows:
// - Field: an empty box means no number of the field's own (-1), and a stored
//   number below the first that means something (a length below 1, digits
//   below 0) shows empty; any number typed is taken, rounded to a whole one,
//   and a text that is no number counts as empty; a number beyond 32 bits is
//   refused with message 4037.
// - TemplateDefault: every stored number shows but a length of -1 (none);
//   only whole numbers are taken: a length from -1 up (an empty box is -1),
//   digits from -1 to 99; any other text is refused.
#pragma once

#include "core/QzFormat.h"
#include "platform/ui/Controls.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

namespace qz::editors {

enum class FormatPanelUse { Field, TemplateDefault };

class FormatPanel {
public:
    class StringFrame {
    public:
        explicit StringFrame(FormatPanelUse use);
        ui::Frame fra;
        ui::CheckBox chkOverride;
        ui::Label lblMaxLength;
        ui::TextBox txtMaxLength;
        ui::CheckBox chkBlankProtect;

        // Ticks the override box as f says and, when f overrides, shows f.
        void Set(const QzFormatString& f);
        // Enables the options as the override box says; with it clear, shows
        // the fallback.
        void Toggle(const QzFormatString& fallback);
        // The length typed, nothing when the text is refused.
        std::optional<std::int32_t> MaxLength() const;
        // base with the override box and the options shown; a refused length
        // keeps base's.
        QzFormatString Read(QzFormatString base) const;
        void Clear();

    private:
        void Show(const QzFormatString& f);
        FormatPanelUse use_;
    };

    class DateTimeFrame {
    public:
        DateTimeFrame();
        ui::Frame fra;
        ui::CheckBox chkOverride;
        // Options 1 to 4 are the named formats (element 0 is not used).
        std::array<ui::OptionButton, kQzNamedDateFormats + 1> optDateTime;
        ui::CheckBox chkBlankProtect;

        void Set(const QzFormatDateTime& f);
        void Toggle(const QzFormatDateTime& fallback);
        // Chooses option i alone; a number outside 1 to 4 chooses none.
        void Choose(std::int32_t i);
        // base with the override box and the options shown; with no option
        // chosen the format number stays base's.
        QzFormatDateTime Read(QzFormatDateTime base) const;
        void Clear();

    private:
        void Show(const QzFormatDateTime& f);
    };

    class NumberFrame {
    public:
        explicit NumberFrame(FormatPanelUse use);
        ui::Frame fra;
        ui::CheckBox chkOverride;
        ui::Label lblNumberOfDigits, lblIncludeLeading, lblUseParens, lblGroupDigits;
        // The digits box takes typed text; the three others are True/False lists.
        ui::ComboBox cboNumberOfDigits, cboIncludeLeading, cboUseParens, cboGroupDigits;
        ui::CheckBox chkBlankProtect;

        // Fills the boxes' lists (digits "0" to "9", the others True and False).
        void Fill();
        void Set(const QzFormatNumber& f);
        void Toggle(const QzFormatNumber& fallback);
        // The digits typed or chosen, nothing when the text is refused.
        std::optional<std::int32_t> Digits() const;
        // base with the override box and the options shown; a list without a
        // choice and refused digits keep base's.
        QzFormatNumber Read(QzFormatNumber base) const;
        void Clear();

    private:
        void Show(const QzFormatNumber& f);
        FormatPanelUse use_;
    };

    // A panel with numberFrames number frames (a window that shows the three
    // number kinds in one frame has one).
    FormatPanel(FormatPanelUse use, int numberFrames);

    StringFrame String;
    DateTimeFrame DateTime;
    NumberFrame& Number(int k) { return numbers_.at(static_cast<std::size_t>(k)); }

    // Clears every override box and option.
    void Clear();

private:
    std::deque<NumberFrame> numbers_;  // a deque: the controls never move
};

} // namespace qz::editors
