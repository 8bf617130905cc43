#include "host/IParameter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

void CopyText(char* destination, const char* source, int capacity) {
    if (!destination || capacity <= 0) return;
    if (!source) source = "";
    int length = static_cast<int>(std::strlen(source));
    if (length > capacity - 1) length = capacity - 1;
    std::memcpy(destination, source, length);
    destination[length] = '\0';
}

int TruncateToInt(double value) {
    if (!(value == value)) return 0; // NaN
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(value);
}

void FormatNumber(char* text, int capacity, int decimals, double value) {
    char buffer[kParamTextCapacity * 8];
    std::to_chars_result result = std::to_chars(buffer, buffer + sizeof(buffer) - 1, value,
                                                std::chars_format::fixed, decimals);
    *(result.ec == std::errc() ? result.ptr : buffer) = '\0';
    CopyText(text, buffer, capacity);
}

static bool StartsWithIgnoringCase(const char* text, const char* word) {
    for (; *word; ++text, ++word) {
        char c = *text;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *word) return false;
    }
    return true;
}

bool ParseLeadingNumber(const char* text, double* value) {
    *value = 0.0;
    if (!text) return true;
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')
        ++p;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    if (StartsWithIgnoringCase(p, "nan") || StartsWithIgnoringCase(p, "inf")) return false;
    // Decimal digits only: hexadecimal floats would read differently across C runtimes.
    const char* start = p;
    const char* end = p;
    bool digits = false;
    while (*end >= '0' && *end <= '9')
        ++end, digits = true;
    if (*end == '.') {
        ++end;
        while (*end >= '0' && *end <= '9')
            ++end, digits = true;
    }
    if (!digits) return true; // no number: the value is 0
    if (*end == 'e' || *end == 'E') {
        const char* exponent = end + 1;
        if (*exponent == '+' || *exponent == '-') ++exponent;
        if (*exponent >= '0' && *exponent <= '9') {
            end = exponent;
            while (*end >= '0' && *end <= '9')
                ++end;
        }
    }
    double parsed = 0.0;
    std::from_chars_result result = std::from_chars(start, end, parsed, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too small to represent reads as zero; too large is not a finite value.
        const char* e = std::find_if(start, end, [](char c) { return c == 'e' || c == 'E'; });
        if (e != end && e[1] == '-') return true;
        return false;
    }
    if (result.ec != std::errc() || !std::isfinite(parsed)) return false;
    *value = negative ? -parsed : parsed;
    return true;
}

void IParameter::InitNumberParameter(const char* name, double defaultValue, double min, double max,
                                     double step, double shape) {
    if (type_ == ParamTypeNone) type_ = ParamTypeDouble;
    name_ = name ? name : "";
    label_.clear();
    group_.clear();
    value_ = default_ = defaultValue;
    min_ = min;
    max_ = std::max(min + step, max);
    step_ = step;
    // Decimals to show: how often the step must be scaled by ten to become whole.
    precision_ = 0;
    for (double scaled = step; precision_ < 6 && scaled != std::floor(scaled); scaled *= 10.0)
        ++precision_;
    if (shape != 0.0) shape_ = shape;
}

void IParameter::InitEnumParameter(const char* name, double defaultValue, int count,
                                   const char* const* texts) {
    if (type_ == ParamTypeNone) type_ = ParamTypeEnum;
    InitNumberParameter(name, defaultValue, 0.0, count - 1, 1.0, 1.0);
    for (int i = 0; i < count; ++i)
        AddDisplayText(i, texts[i]);
}

void IParameter::SetLabel(const char* label) {
    label_ = label ? label : "";
}

void IParameter::AddDisplayText(int value, const char* text) {
    std::string stored(text ? text : "");
    if (stored.size() > 31) stored.resize(31);
    texts_.push_back(TextEntry{value, stored});
}

double IParameter::FromNormalized(double normalized) const {
    return min_ + (max_ - min_) * std::pow(normalized, shape_);
}

double IParameter::SetFromNormalized(double normalized) {
    if (!(normalized == normalized)) return value_; // NaN never becomes a value
    normalized = std::clamp(normalized, 0.0, 1.0);
    double value = FromNormalized(normalized);
    if (type_ != ParamTypeDouble) value = std::floor(value / step_ + 0.5) * step_;
    value_ = std::min(value, max_);
    return value_;
}

double IParameter::ToNormalized(double value) const {
    double limited = std::clamp(value, min_, max_);
    return std::pow((limited - min_) / (max_ - min_), 1.0 / shape_);
}

void IParameter::SetValueLimited(double value) {
    if (!(value == value)) value = 0.0; // stored data that is not a number reads as 0
    value_ = std::clamp(value, min_, max_);
}

const char* IParameter::DisplayText(int value) const {
    for (const TextEntry& entry : texts_)
        if (entry.value == value) return entry.text.c_str();
    return nullptr;
}

void IParameter::FormatValue(double value, bool normalized, char* text,
                             bool useDisplayTexts) const {
    if (normalized) value = FromNormalized(value == value ? std::clamp(value, 0.0, 1.0) : 0.0);
    if (display_) {
        char buffer[kParamTextCapacity] = {0};
        display_(value, buffer);
        CopyText(text, buffer, kParamTextCapacity);
        return;
    }
    if (useDisplayTexts && !texts_.empty()) {
        const char* name = DisplayText(TruncateToInt(value));
        if (name && *name) {
            CopyText(text, name, kParamTextCapacity);
            return;
        }
    }
    if (negateDisplay_) value = -value;
    if (precision_ > 0) {
        FormatNumber(text, kParamTextCapacity, precision_, value);
    } else {
        std::string number = std::to_string(TruncateToInt(value));
        CopyText(text, number.c_str(), kParamTextCapacity);
    }
}

const char* IParameter::GetLabel() const {
    if (!texts_.empty()) {
        const char* name = DisplayText(TruncateToInt(value_));
        if (name && *name) return "";
    }
    return label_.c_str();
}

bool IParameter::ValueOfDisplayText(const char* text, double* value) const {
    for (const TextEntry& entry : texts_) {
        if (entry.text == (text ? text : "")) {
            *value = entry.value;
            return true;
        }
    }
    return false;
}

bool IParameter::ValueOfHostText(const char* text, double* value) const {
    if (!texts_.empty()) return ValueOfDisplayText(text, value);
    if (!ParseLeadingNumber(text, value)) return false;
    if (negateDisplay_) *value = -*value;
    return true;
}
