#pragma once
// Sets the number characters for one test and restores the previous ones afterwards.
#include "runtime/number_text.h"

namespace quorvel::test {

class SeparatorsScope {
public:
    SeparatorsScope(char32_t decimal, char32_t thousands)
        : oldDecimal_(DecimalChar()), oldThousands_(ThousandsChar()) {
        SetDecimalChar(decimal);
        SetThousandsChar(thousands);
    }
    ~SeparatorsScope() {
        SetDecimalChar(oldDecimal_);
        SetThousandsChar(oldThousands_);
    }
    SeparatorsScope(const SeparatorsScope&) = delete;
    SeparatorsScope& operator=(const SeparatorsScope&) = delete;

private:
    char32_t oldDecimal_;
    char32_t oldThousands_;
};

}  // namespace quorvel::test
