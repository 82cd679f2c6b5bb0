#include "editor/qt/views/FormulaField.h"

#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QTextCharFormat>

#include <algorithm>

FormulaField::FormulaField(QWidget* parent) : QLineEdit(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void FormulaField::markColumn(int column) {
    const int length = static_cast<int>(text().size());
    marked_ = length == 0 ? 0 : std::clamp(column, 0, length);
    // A line edit draws formats that come with an input method's event, at places counted from
    // the cursor: the one way to underline part of its text.
    QList<QInputMethodEvent::Attribute> formats;
    if (marked_ > 0) {
        QTextCharFormat format;
        format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        format.setUnderlineColor(Qt::red);
        format.setForeground(Qt::red);
        format.setBackground(QColor(255, 214, 214));
        formats.append(QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat,
                                                    marked_ - 1 - cursorPosition(), 1, format));
    }
    QInputMethodEvent event(QString(), formats);
    inputMethodEvent(&event);
}
