// The decimal form of a double and the one rounding rule every number text uses.
#include <charconv>
#include <cstring>

#include "runtime/number_text_detail.h"

namespace quorvel::detail {

DecimalForm ToDecimalForm(double magnitude) {
    DecimalForm form;
    if (magnitude == 0)
        return form;
    if (magnitude < 0)
        magnitude = -magnitude;
    // The exact binary value, correctly rounded to 18 significant digits: "d.ddddddddddddddddde+XXX".
    char text[40];
    const auto result = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 17);
    const char* end = result.ptr;
    form.digits[0] = text[0];
    std::memcpy(form.digits + 1, text + 2, 17);
    const char* p = text + 19;  // at 'e'
    ++p;
    const bool negative = *p == '-';
    ++p;
    int exponent = 0;
    for (; p < end; ++p)
        exponent = exponent * 10 + (*p - '0');
    form.exponent = (negative ? -exponent : exponent) + 1;
    int count = 18;
    while (count > 0 && form.digits[count - 1] == '0')
        --count;
    form.count = count;
    return form;
}

void RoundToDigits(DecimalForm& form, long long keep) {
    if (keep >= form.count)
        return;
    if (keep < 0) {
        form = DecimalForm{};
        return;
    }
    const int k = static_cast<int>(keep);
    const bool up = form.digits[k] >= '5';
    form.count = k;
    if (up) {
        int i = k - 1;
        while (i >= 0 && form.digits[i] == '9')
            --i;
        if (i < 0) {
            // Every kept digit was 9 (or none was kept): the carry makes one more integer digit.
            form.digits[0] = '1';
            form.count = 1;
            ++form.exponent;
            return;
        }
        ++form.digits[i];
        form.count = i + 1;
    }
    while (form.count > 0 && form.digits[form.count - 1] == '0')
        --form.count;
    if (form.count == 0)
        form = DecimalForm{};
}

}  // namespace quorvel::detail
