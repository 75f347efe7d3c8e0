#pragma once

#include <string>
#include <vector>

#include <QWidget>

#include "core/aids/word_dictionary.h"

namespace quillon {

// The small two-colour panel of the bottom bar: the word found, in blue, and
// after it its pronunciation and gloss in green, the pronunciation's
// single-byte codes in the phonetic font and the Chinese in the Song face.
class PhoneticPanel final : public QWidget {
    Q_OBJECT
public:
    explicit PhoneticPanel(QWidget* parent = nullptr);

    // Replaces the content and repaints; a height of 0 or less keeps the
    // previous one. Texts are GBK.
    void Show(const std::string& word, const std::string& panelText, int wordHeight,
              int runHeight);

    const std::string& word() const { return word_; }
    const std::vector<PanelRun>& runs() const { return runs_; }
    int wordHeight() const { return wordHeight_; }
    int runHeight() const { return runHeight_; }
    // Width the content needs, for the bar that holds the panel.
    int ContentWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont WordFont() const;
    QFont RunFont(bool gbk) const;

    std::string word_;
    std::vector<PanelRun> runs_;
    int wordHeight_ = 18;
    int runHeight_ = 18;
};

}  // namespace quillon
