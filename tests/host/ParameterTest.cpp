// The parameter record: initialisation rules, normalising, steps, formatting and parsing.
#include "host/IParameter.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

std::string Format(const IParameter& param, double value, bool normalized = false,
                   bool texts = true) {
    char text[kParamTextCapacity] = {0};
    param.FormatValue(value, normalized, text, texts);
    return text;
}

IParameter Integer(double min, double max, double step = 1.0) {
    IParameter param;
    param.SetType(ParamTypeInt);
    param.InitNumberParameter("int", min, min, max, step, 1.0);
    return param;
}

} // namespace

TEST(Parameter, InitialisationRules) {
    IParameter empty;
    empty.InitNumberParameter("zero", 0.0, 0.0, 0.0, 1.0, 1.0);
    EXPECT_EQ(empty.Max(), 1.0) << "max is at least min + step";
    EXPECT_EQ(empty.Type(), ParamTypeDouble);

    IParameter fine;
    fine.InitNumberParameter("fine", 0.5, 0.0, 1.0, 0.01, 0.0);
    EXPECT_EQ(fine.DisplayPrecision(), 2);
    EXPECT_EQ(fine.Shape(), 1.0) << "shape 0 keeps the linear default";
    EXPECT_EQ(fine.Value(), 0.5);
    EXPECT_EQ(fine.Default(), 0.5);

    IParameter tiny;
    tiny.InitNumberParameter("tiny", 0.0, 0.0, 1.0, 1e-9, 1.0);
    EXPECT_EQ(tiny.DisplayPrecision(), 6) << "precision counts to 6 at most";

    IParameter integer = Integer(0, 31);
    EXPECT_EQ(integer.Type(), ParamTypeInt) << "a type set before stays";

    const char* texts[] = {"A", "B", "C"};
    IParameter choice;
    choice.InitEnumParameter("choice", 1, 3, texts);
    EXPECT_EQ(choice.Type(), ParamTypeEnum);
    EXPECT_EQ(choice.Max(), 2.0);
    EXPECT_EQ(choice.DisplayTextCount(), 3);
}

TEST(Parameter, NormalisedValuesAndSteps) {
    IParameter integer = Integer(0, 31);
    EXPECT_EQ(integer.SetFromNormalized(0.51), 16.0); // floor(15.81 + 0.5)
    EXPECT_EQ(integer.SetFromNormalized(1.0), 31.0);
    EXPECT_EQ(integer.SetFromNormalized(2.0), 31.0);
    EXPECT_EQ(integer.SetFromNormalized(-1.0), 0.0);
    EXPECT_EQ(integer.SetFromNormalized(NAN), 0.0) << "NaN is no value";

    IParameter fine;
    fine.InitNumberParameter("fine", 0.0, 0.0, 1.0, 0.01, 1.0);
    EXPECT_DOUBLE_EQ(fine.SetFromNormalized(0.126), 0.126) << "doubles keep values between steps";
    EXPECT_EQ(Format(fine, fine.Value()), "0.13");

    IParameter shaped;
    shaped.InitNumberParameter("shaped", 0.0, 0.0, 100.0, 1.0, 2.0);
    EXPECT_DOUBLE_EQ(shaped.SetFromNormalized(0.5), 25.0);
    EXPECT_DOUBLE_EQ(shaped.GetAsNormalized(), 0.5);
    EXPECT_DOUBLE_EQ(shaped.ToNormalized(500.0), 1.0) << "values are limited first";

    shaped.SetValueLimited(NAN);
    EXPECT_EQ(shaped.Value(), 0.0);
    shaped.SetValueLimited(-INFINITY);
    EXPECT_EQ(shaped.Value(), 0.0);
}

TEST(Parameter, FormattingWithTextsAndNegation) {
    const char* texts[] = {"LOW", "", "HIGH", "TOP"};
    IParameter choice;
    choice.InitEnumParameter("choice", 0, 4, texts);
    EXPECT_EQ(Format(choice, 2), "HIGH");
    EXPECT_EQ(Format(choice, 2.9), "HIGH") << "the value is truncated toward zero";
    EXPECT_EQ(Format(choice, 1), "1") << "an empty text falls back to the number";
    EXPECT_EQ(Format(choice, 2, false, false), "2");
    EXPECT_EQ(Format(choice, 1.0, true), "TOP");
    choice.SetFromNormalized(2.0 / 3.0);
    EXPECT_STREQ(choice.GetLabel(), "");
    choice.SetLabel("unit");
    EXPECT_STREQ(choice.GetLabel(), "");
    choice.SetFromNormalized(1.0 / 3.0);
    EXPECT_STREQ(choice.GetLabel(), "unit") << "no text names the value";

    IParameter negated = Integer(-10, 10);
    negated.SetNegateDisplay(true);
    EXPECT_EQ(Format(negated, 3), "-3");
    double value = 0;
    ASSERT_TRUE(negated.ValueOfHostText("-3", &value));
    EXPECT_EQ(value, 3.0);

    IParameter fine;
    fine.InitNumberParameter("fine", 0.0, -1.0, 1.0, 0.01, 1.0);
    EXPECT_EQ(Format(fine, -0.5), "-0.50");
    EXPECT_EQ(Format(fine, 0.004), "0.00");
}

TEST(Parameter, DisplayFunctionReplacesEverything) {
    const char* texts[] = {"A", "B"};
    IParameter choice;
    choice.InitEnumParameter("choice", 0, 2, texts);
    choice.SetDisplayFunction(
        [](double value, char* text) { std::snprintf(text, kParamTextCapacity, "<%g>", value); });
    EXPECT_EQ(Format(choice, 1), "<1>");
    EXPECT_EQ(Format(choice, 0.5, true), "<0.5>");
}

TEST(Parameter, HostTextWithDisplayTexts) {
    const char* texts[] = {"OFF", "ON"};
    IParameter toggle;
    toggle.InitEnumParameter("toggle", 0, 2, texts);
    double value = -1;
    EXPECT_TRUE(toggle.ValueOfHostText("ON", &value));
    EXPECT_EQ(value, 1.0);
    EXPECT_FALSE(toggle.ValueOfHostText("on", &value));
    EXPECT_FALSE(toggle.ValueOfHostText("1", &value)) << "with texts, only texts are accepted";
}

TEST(NumberText, LeadingNumbersWhateverTheLocale) {
    double value = -1;
    EXPECT_TRUE(ParseLeadingNumber("  -3.5dB", &value));
    EXPECT_EQ(value, -3.5);
    EXPECT_TRUE(ParseLeadingNumber("+.25", &value));
    EXPECT_EQ(value, 0.25);
    EXPECT_TRUE(ParseLeadingNumber("2e3x", &value));
    EXPECT_EQ(value, 2000.0);
    EXPECT_TRUE(ParseLeadingNumber("7e", &value));
    EXPECT_EQ(value, 7.0);
    EXPECT_TRUE(ParseLeadingNumber("abc", &value));
    EXPECT_EQ(value, 0.0) << "no number reads as 0";
    EXPECT_TRUE(ParseLeadingNumber("0x10", &value));
    EXPECT_EQ(value, 0.0) << "hexadecimal is not read";
    EXPECT_TRUE(ParseLeadingNumber("1e-999", &value));
    EXPECT_EQ(value, 0.0);
    for (const char* text : {"nan", "-NaN(1)", "inf", "+Infinity", "1e999", "-1e400"})
        EXPECT_FALSE(ParseLeadingNumber(text, &value)) << text;

    char text[16];
    FormatNumber(text, sizeof(text), 1, -6.0206);
    EXPECT_STREQ(text, "-6.0");
    FormatNumber(text, sizeof(text), 0, 49.6);
    EXPECT_STREQ(text, "50");
    FormatNumber(text, 4, 3, 123.456);
    EXPECT_STREQ(text, "123") << "cut to the buffer";
    EXPECT_EQ(TruncateToInt(1e300), 2147483647);
    EXPECT_EQ(TruncateToInt(-2.9), -2);
    EXPECT_EQ(TruncateToInt(NAN), 0);
}
