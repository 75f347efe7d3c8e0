#pragma once

#include <cstdint>
#include <string>

#include <QLabel>
#include <QLineEdit>

namespace quillon {

// The pieces of a colour row that the settings dialogs share: the read-only
// "RGB(r,g,b)" text and the small framed swatch beside it.

// A 24 × 20 framed swatch named `<name>Swatch`.
QLabel* MakeColourSwatch(QWidget* parent, const std::string& name);

// Fills the swatch with a colour value in 0x00BBGGRR order.
void PaintColourSwatch(QLabel* swatch, uint32_t colourRef);

// Makes the edit wide enough for the longest form, "RGB(255,255,255)".
void FitColourTextWidth(QLineEdit* edit);

}  // namespace quillon
