#pragma once

#include <QLineEdit>

// The one-line field of a formula, in a fixed-width font, that marks the column an error
// points at (a red wavy underline on that character, or on the last one when the error is at
// the end) until the next mark.
class FormulaField final : public QLineEdit {
public:
    explicit FormulaField(QWidget* parent = nullptr);
    // 1-based; 0 takes the mark away.
    void markColumn(int column);
    int markedColumn() const { return marked_; }

private:
    int marked_ = 0;
};
