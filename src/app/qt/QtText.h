#pragma once

#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QString>
#include <QUrl>

#include <string>
#include <vector>

// Texts between the editor's logic (UTF-8 in std::string) and Qt, paths in the file system's
// own encoding, and a label that shows its text as it is.
inline QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string toUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

inline std::string fileSystemPath(const QString& path) {
    const QByteArray encoded = QFile::encodeName(path);
    return std::string(encoded.constData(), static_cast<std::size_t>(encoded.size()));
}

// The files dragged or dropped: none unless every item is a local file.
inline std::vector<std::string> droppedFiles(const QMimeData& data) {
    std::vector<std::string> paths;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile()) {
            return {};
        }
        paths.push_back(fileSystemPath(url.toLocalFile()));
    }
    return paths;
}

// A static text: plain (never rich text), vertically centred.
inline QLabel* plainLabel(const QString& caption, Qt::Alignment horizontal, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setAlignment(horizontal | Qt::AlignVCenter);
    label->setTextFormat(Qt::PlainText);
    return label;
}
