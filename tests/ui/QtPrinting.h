#pragma once

#include <ostream>

#include <QString>

// Readable Qt strings in the failures of GoogleTest.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
