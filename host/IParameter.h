// One automatable parameter: its value in real units, the range and step, and how it is shown
// and parsed as text. The host exchanges normalised values (0..1); the instrument uses real ones.
#pragma once

#include <string>
#include <vector>

enum ParamType { ParamTypeNone = 0, ParamTypeInt = 2, ParamTypeEnum = 3, ParamTypeDouble = 4 };

// Texts written for the host and the editor are at most this long (plus terminator).
constexpr int kParamTextCapacity = 64;

class IParameter {
public:
    // Replaces all built-in formatting when set: writes the text for a real value.
    typedef void (*DisplayFunction)(double value, char* text);

    void InitNumberParameter(const char* name, double defaultValue, double min, double max,
                             double step, double shape);
    void InitEnumParameter(const char* name, double defaultValue, int count,
                           const char* const* texts);
    void SetType(ParamType type) { type_ = type; }
    void SetDisplayFunction(DisplayFunction function) { display_ = function; }
    void SetNegateDisplay(bool negate) { negateDisplay_ = negate; }
    void SetLabel(const char* label);
    void AddDisplayText(int value, const char* text);

    // Real value from a normalised one; steps are applied to all but double parameters, and
    // the result is limited to [min, max].
    double SetFromNormalized(double normalized);
    double GetAsNormalized() const { return ToNormalized(value_); }
    // The normalised form of any real value (limited to the range first).
    double ToNormalized(double value) const;
    // The real value of a normalised one, without steps or limits.
    double FromNormalized(double normalized) const;
    // Stores a real value limited to [min, max] (no step rounding).
    void SetValueLimited(double value);

    void FormatValue(double value, bool normalized, char* text, bool useDisplayTexts) const;
    // The unit text, empty while a display text names the current value.
    const char* GetLabel() const;
    bool ValueOfDisplayText(const char* text, double* value) const;
    // Parses host text as a value the way effString2Parameter does; false when the text names
    // no display text or is not a finite number.
    bool ValueOfHostText(const char* text, double* value) const;

    ParamType Type() const { return type_; }
    double Value() const { return value_; }
    double Min() const { return min_; }
    double Max() const { return max_; }
    double Step() const { return step_; }
    double Shape() const { return shape_; }
    double Default() const { return default_; }
    int DisplayPrecision() const { return precision_; }
    bool NegateDisplay() const { return negateDisplay_; }
    const char* Name() const { return name_.c_str(); }
    int DisplayTextCount() const { return static_cast<int>(texts_.size()); }
    const char* DisplayText(int value) const; // null when none

private:
    struct TextEntry {
        int value;
        std::string text;
    };

    DisplayFunction display_ = nullptr;
    ParamType type_ = ParamTypeNone;
    double value_ = 0.0;
    double min_ = 0.0;
    double max_ = 1.0;
    double step_ = 1.0;
    double shape_ = 1.0;
    double default_ = 0.0;
    int precision_ = 0;
    std::string name_;
    std::string label_;
    std::string group_;
    bool negateDisplay_ = false;
    std::vector<TextEntry> texts_;
};

// Locale-independent number text: '.' is always the decimal point, whatever the host process
// has set.
void FormatNumber(char* text, int capacity, int decimals, double value);
// Reads the leading decimal number of a text ("12.5dB" gives 12.5, "abc" gives 0). Returns false
// only for text that names a value that is not finite ("nan", "inf", "1e999").
bool ParseLeadingNumber(const char* text, double* value);
// Truncation toward zero that stays defined for values outside the int range.
int TruncateToInt(double value);
// Copies at most capacity - 1 characters and terminates.
void CopyText(char* destination, const char* source, int capacity);
