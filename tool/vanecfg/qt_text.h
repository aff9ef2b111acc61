// Conversions between the model's byte strings and the toolkit's texts.
// The model's messages are UTF-8; paths are the file system's bytes, which
// the toolkit decodes with the locale's file name codec.
#pragma once

#include <QFile>
#include <QString>

#include <string>
#include <string_view>

inline QString to_qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QString path_to_qt(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

inline std::string path_from_qt(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// qt_file_filter turns a file dialog filter of the form
// "Label|*.a;*.b|Label 2|*.*" into the toolkit's "Label (*.a *.b);;Label 2 (*)".
QString qt_file_filter(std::string_view filter);
