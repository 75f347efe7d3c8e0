#pragma once

namespace quillon {

// True for the characters that make up most of any Chinese novel, simplified
// or traditional, and their full-width punctuation.
bool IsCommonHanzi(char32_t c);

}  // namespace quillon
