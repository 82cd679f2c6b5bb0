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

// Local files as a drag carries them: a URI list whose paths are the files' own bytes,
// percent-encoded (QUrl holds text, and would change a name that is not UTF-8).
inline void setLocalFiles(QMimeData& data, const std::vector<std::string>& paths) {
    QByteArray list;
    for (const std::string& path : paths) {
        list += "file://" + QByteArray::fromStdString(path).toPercentEncoding("/") + "\r\n";
    }
    data.setData(QStringLiteral("text/uri-list"), list);
}

// The files dragged or dropped, each as the bytes its URI carries: none unless every item is a
// local file.
inline std::vector<std::string> droppedFiles(const QMimeData& data) {
    std::vector<std::string> paths;
    for (const QByteArray& line : data.data(QStringLiteral("text/uri-list")).split('\n')) {
        const QByteArray uri = line.trimmed();
        if (uri.isEmpty() || uri.startsWith('#')) {
            continue;
        }
        // file:///path, file://localhost/path or file:/path
        if (!uri.startsWith("file:")) {
            return {};
        }
        QByteArray path = uri.mid(5);
        if (path.startsWith("//")) {
            const qsizetype slash = path.indexOf('/', 2);
            const QByteArray host = path.mid(2, slash < 0 ? -1 : slash - 2);
            if (slash < 0 || !(host.isEmpty() || host == "localhost")) {
                return {};
            }
            path = path.mid(slash);
        }
        paths.push_back(QByteArray::fromPercentEncoding(path).toStdString());
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
